#include <QApplication>
#include <QStandardPaths>
#include <QTextStream>

#include "app/command_line.h"
#include "main_window/mainform.h"
#include "options/frm_about.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    // Scripts and scheduled jobs: no window, no display.
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tavelin::app::runCommandLine(
        QCoreApplication::arguments().mid(1),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), out, err);
  }
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
