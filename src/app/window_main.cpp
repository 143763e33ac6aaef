// The window: a module of its own, so that the command line starts without loading the
// widget libraries (the largest part of a start that only syncs or exports).
#include <QApplication>

#include "main_window/mainform.h"
#include "options/frm_about.h"
#include "platform/platform.h"
#include "sync/sync_engine.h"

extern "C" __attribute__((visibility("default"))) int tavelin_window_main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavelin"));
  QApplication::setOrganizationName(QStringLiteral("Tavelin"));
  QApplication::setWindowIcon(tavelin::options::programIcon());

  const auto platform = tavelin::platform::createPlatform();
  tavelin::main_window::Mainform mainform(*platform);
  mainform.setSyncRunnerFactory(tavelin::sync::engineFactory());
  QObject::connect(&mainform, &tavelin::main_window::Mainform::programEnded, &app,
                   &QApplication::quit, Qt::QueuedConnection);
  mainform.Form_Load();
  return app.exec();
}
