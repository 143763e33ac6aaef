#include <QApplication>

#include "main_window/mainform.h"
#include "options/frm_about.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavelin"));
  QApplication::setOrganizationName(QStringLiteral("Tavelin"));
  QApplication::setWindowIcon(tavelin::options::programIcon());

  const auto platform = tavelin::platform::createPlatform();
  tavelin::main_window::Mainform mainform(*platform);
  QObject::connect(&mainform, &tavelin::main_window::Mainform::programEnded, &app,
                   &QApplication::quit, Qt::QueuedConnection);
  mainform.Form_Load();
  return app.exec();
}
