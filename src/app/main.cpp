#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStandardPaths>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

#include "app/command_line.h"
#include "app/sync_command.h"
#include "platform/qt/keychain_secret_store.h"
#include "platform/qt/qt_settings_store.h"
#include "sync/sync_engine.h"

namespace {

// The window module: where the package installs it, else beside the program (a build tree).
int runWindow(int argc, char** argv) {
  const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  const QString folder = QFileInfo(program).path();
  QString reasons;
  const QStringList places{folder + QStringLiteral("/" TAVELIN_WINDOW_MODULE_DIR), folder};
  for (const QString& place : places) {
    QLibrary module(place + QStringLiteral("/tavelin-window"));
    using WindowMain = int (*)(int, char**);
    if (const auto run = reinterpret_cast<WindowMain>(module.resolve("tavelin_window_main"))) {
      return run(argc, argv);
    }
    reasons += QStringLiteral("\n  ") + module.errorString();
  }
  std::fprintf(stderr, "tavelin: the window cannot be loaded:%s\n", qPrintable(reasons));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc <= 1) return runWindow(argc, argv);
  // Scripts and scheduled jobs: no window, no display.
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  tavelin::platform::QtSettingsStore settings;
  tavelin::platform::KeychainSecretStore secrets;
  const tavelin::app::SyncServices sync{settings, secrets, tavelin::sync::engineFactory()};
  return tavelin::app::runCommandLine(
      QCoreApplication::arguments().mid(1),
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), out, err, &sync);
}
