#include <QApplication>
#include <QStandardPaths>
#include <QTextStream>

#include "app/command_line.h"
#include "app/sync_command.h"
#include "main_window/mainform.h"
#include "options/frm_about.h"
#include "platform/platform.h"
#include "platform/qt/keychain_secret_store.h"
#include "platform/qt/qt_settings_store.h"
#include "sync/sync_engine.h"

namespace {

// What runs a sync, for the window and for --sync alike.
tavelin::sync::SyncRunnerFactory syncRunnerFactory() {
  return [](const QString& dataFile, tavelin::sync::CardDavClient& client) {
    return std::unique_ptr<tavelin::sync::SyncRunner>(
        std::make_unique<tavelin::sync::SyncEngine>(dataFile, client));
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    // Scripts and scheduled jobs: no window, no display.
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    tavelin::platform::QtSettingsStore settings;
    tavelin::platform::KeychainSecretStore secrets;
    const tavelin::app::SyncServices sync{settings, secrets, syncRunnerFactory()};
    return tavelin::app::runCommandLine(
        QCoreApplication::arguments().mid(1),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), out, err, &sync);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavelin"));
  QApplication::setOrganizationName(QStringLiteral("Tavelin"));
  QApplication::setWindowIcon(tavelin::options::programIcon());

  const auto platform = tavelin::platform::createPlatform();
  tavelin::main_window::Mainform mainform(*platform);
  mainform.setSyncRunnerFactory(syncRunnerFactory());
  QObject::connect(&mainform, &tavelin::main_window::Mainform::programEnded, &app,
                   &QApplication::quit, Qt::QueuedConnection);
  mainform.Form_Load();
  return app.exec();
}
