#include "attachments/shortcut_help.h"

#include "platform/dialogs.h"

namespace tavelin::attachments {
namespace {

struct Shortcut {
  const char* key;
  const char* does;
};

constexpr Shortcut kShortcuts[] = {
    {"F2", "Search for string match"},
    {"F3", "Search for next match"},
    {"F4", "Edit the current record"},
    {"F5", "Backup the file"},
    {"F6", "Restore the backup"},
    {"F9", "Send E-Mail via OUTLOOK"},
    {"ENTER", "Dial first telephone number"},
    {"ESC", "Quit, Clear, End, Abort"},
    {"INS", "Add a new record"},  // the menu's key is Shift+Ins; the summary keeps it short
    {"DEL", "Delete the current record"},
    {"A-Z", "Quick jump to record"},
};

}  // namespace

QString shortcutHelpText() {
  const QLatin1Char cr('\r');
  QString text = QStringLiteral("Most common shortcut keys:") + cr + cr;
  for (const Shortcut& s : kShortcuts) {
    text += QLatin1String(s.key) + QLatin1Char('\t') + QLatin1String(s.does) + cr;
  }
  text += cr + QStringLiteral("Other Shortcut Keys: see the menu system.") + cr;
  return text;
}

void ShowShortcutHelp(platform::Dialogs& dialogs) {
  platform::showMessage(dialogs, shortcutHelpText(), platform::Buttons::Ok,
                        platform::Icon::Information, QStringLiteral("TAVELIN keyboard shortcuts"));
}

}  // namespace tavelin::attachments
