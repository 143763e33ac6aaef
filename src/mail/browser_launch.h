#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tavelin::platform {
class Dialogs;
class Launcher;
class SettingsStore;
}  // namespace tavelin::platform

namespace tavelin::mail {

struct BrowserCommand {
  QString program;
  QStringList arguments;

  bool operator==(const BrowserCommand&) const = default;
};

// What shows the address: the browser command line of the settings (Platform/Browser) with the
// address as one more argument, else xdg-open. An empty address is the home page: the
// configured browser alone, else x-www-browser when there is one, else xdg-open about:blank.
// Nothing for an address that begins with "-", which every program would take for an option.
std::optional<BrowserCommand> browserCommand(const QString& address, const QString& configured,
                                             bool haveWwwBrowser);

// Starts the browser at the address, never through a shell. A refused address or a browser
// that does not start is reported.
void OpenBrowser(const QString& address, platform::Launcher& launcher,
                 const platform::SettingsStore& settings, platform::Dialogs& dialogs);

// The manual's address: file:// and the working directory's TAVELIN.HTM, taken now.
QString manualAddress();

}  // namespace tavelin::mail
