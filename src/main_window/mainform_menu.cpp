// The menu bar: every item by name, caption and shortcut key. A "-" caption is a separator.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "main_window/mainform.h"

namespace tavelin::main_window {
namespace {

struct Item {
  const char* name;
  const char* caption;
  QKeyCombination key;
};

struct Menu {
  const char* name;
  const char* caption;
  std::initializer_list<Item> items;
};

constexpr QKeyCombination kNone{};
constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kShift = Qt::ShiftModifier;

}  // namespace

void Mainform::buildMenus() {
  const std::initializer_list<Menu> menus = {
      {"mnuFileMain",
       "&File",
       {{"mnuBack", "&Backup", Qt::Key_F5},
        {"mnuRest", "&Restore", Qt::Key_F6},
        {"mnuStreep", "-", kNone},
        {"mnuBA", "Backup to floppy", kCtrl | Qt::Key_F5},
        {"mnuRA", "Restore from floppy", kCtrl | Qt::Key_F6},
        {"L", "-", kNone},
        {"mnuQuit", "&Quit", kCtrl | Qt::Key_Q}}},
      {"mnuRecord",
       "&Record",
       {{"mnuAdd", "&Add new record", kShift | Qt::Key_Insert},
        {"mnuEdit", "&Edit current record", Qt::Key_F4},
        {"ld", "-", kNone},
        {"mnuDelete", "&Delete current record", Qt::Key_Delete}}},
      {"mnuSearch",
       "&Search",
       {{"mnuFind", "&Search", Qt::Key_F2},
        {"mnuNext", "&Find next", Qt::Key_F3},
        {"mnuSearchStreep", "-", kNone},
        {"mnuClear", "&Clear search string", kShift | Qt::Key_F2}}},
      {"mnuPrint",
       "&Print",
       {{"mnuCurrent", "Print &current record", kCtrl | Qt::Key_C},
        {"mnuAll", "Print &all records", kCtrl | Qt::Key_A},
        {"mnuPrintStreep", "-", kNone},
        {"mnuSetFont", "&Font && style", kCtrl | Qt::Key_F},
        {"mnuSetPrinter", "Set default &printer", kCtrl | Qt::Key_P}}},
      {"mnuMail",
       "&Internet",
       {{"mnuMailEmail", "Mail to &E-Mail address", Qt::Key_F9},
        {"mnuMailAddress", "Mail to user&name", kShift | Qt::Key_F9},
        {"Lijntje", "-", kNone},
        {"mnuURL", "&Connect to URL", kCtrl | Qt::Key_U},
        {"mnuBrowBlank", "&Home page", kCtrl | Qt::Key_H}}},
      {"mnuDial",
       "&Dial",
       {{"mnuDial1", "Phone &1", kCtrl | Qt::Key_F1},
        {"mnuDial2", "Phone &2", kCtrl | Qt::Key_F2},
        {"mnuDial3", "Phone &3", kCtrl | Qt::Key_F3},
        {"mnuDial4", "Phone &4", kCtrl | Qt::Key_F4}}},
      {"mnuClip",
       "&Clipboard",
       {{"mnuClipRecord", "Copy &record", Qt::Key_F7},
        {"mnuClipAddr", "Copy &address", Qt::Key_F8},
        {"mnuClipLijn", "-", kNone},
        {"mnuRead", "&Read from clipboard", kCtrl | Qt::Key_R}}},
      {"mnuExt",
       "&Extra",
       {{"mnuTxt", "&Open attached text file", kCtrl | Qt::Key_T},
        {"Lijntj", "-", kNone},
        {"mnuKill", "&Kill the attached text file", kCtrl | Qt::Key_K},
        {"mnuKillAll", "Kill AL&L attached text files", kCtrl | Qt::Key_L},
        {"Li", "-", kNone},
        {"mnuOptions", "&Options", kCtrl | Qt::Key_O}}},
      {"mnuExtra",
       "&Help",
       {{"mnuHelp", "&Shortcuts help", Qt::Key_F1},
        {"mnuInfo", "&File information", kShift | Qt::Key_F1},
        {"helplijn", "-", kNone},
        {"mnuManual", "&Htm manual", kShift | kCtrl | Qt::Key_F1},
        {"HelpL", "-", kNone},
        {"mnuAbout", "&About the program", kNone}}},
  };

  for (const Menu& m : menus) {
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
    menu->setObjectName(QLatin1String(m.name));
    menu->menuAction()->setObjectName(QLatin1String(m.name));
    for (const Item& item : m.items) {
      QAction* action = qstrcmp(item.caption, "-") == 0
                            ? menu->addSeparator()
                            : menu->addAction(QString::fromLatin1(item.caption));
      action->setObjectName(QLatin1String(item.name));
      if (item.key != kNone) {
        action->setShortcut(QKeySequence(item.key));
        action->setShortcutContext(Qt::WindowShortcut);
      }
    }
  }
}

QAction* Mainform::menuItem(const QString& name) const {
  const QList<QAction*> all = findChildren<QAction*>(name);
  for (QAction* a : all) {
    if (!a->menu()) return a;  // the item, not the menu's own action
  }
  return all.isEmpty() ? nullptr : all.front();
}

}  // namespace tavelin::main_window
