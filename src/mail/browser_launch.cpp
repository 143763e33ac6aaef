#include "mail/browser_launch.h"

#include <QDir>
#include <QUrl>

#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/settings_store.h"

namespace tavelin::mail {

std::optional<BrowserCommand> browserCommand(const QString& address, const QString& configured,
                                             bool haveWwwBrowser) {
  if (address.startsWith(QLatin1Char('-'))) return std::nullopt;
  QStringList words = platform::splitCommandLine(configured);
  if (!words.isEmpty()) {
    const QString program = words.takeFirst();
    if (!address.isEmpty()) words << address;
    return BrowserCommand{program, words};
  }
  if (!address.isEmpty()) return BrowserCommand{QStringLiteral("xdg-open"), {address}};
  if (haveWwwBrowser) return BrowserCommand{QStringLiteral("x-www-browser"), {}};
  return BrowserCommand{QStringLiteral("xdg-open"), {QStringLiteral("about:blank")}};
}

void OpenBrowser(const QString& address, platform::Launcher& launcher,
                 const platform::SettingsStore& settings, platform::Dialogs& dialogs) {
  const std::optional<BrowserCommand> command =
      browserCommand(address, settings.value(QStringLiteral("Platform"), QStringLiteral("Browser")),
                     !launcher.findProgram(QStringLiteral("x-www-browser")).isEmpty());
  if (!command) {
    platform::showMessage(
        dialogs, QStringLiteral("\"%1\" is not an address a browser can open.").arg(address),
        platform::Buttons::Ok, platform::Icon::Critical);
    return;
  }
  if (!launcher.start(command->program, command->arguments)) {
    platform::showMessage(
        dialogs, QStringLiteral("The browser \"%1\" could not be started.").arg(command->program),
        platform::Buttons::Ok, platform::Icon::Critical);
  }
}

QString manualAddress() {
  return QUrl::fromLocalFile(QDir::currentPath() + QStringLiteral("/TAVELIN.HTM")).toString();
}

}  // namespace tavelin::mail
