// The menu bar: every item by name, caption and shortcut key. A "-" caption is a separator.
#include <QAction>
#include <QMenuBar>

#include "main_window/mainform.h"
#include "window_kit/designer_layout.h"

namespace tavelin::main_window {
namespace {

using window_kit::kNoKey;
constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kShift = Qt::ShiftModifier;

}  // namespace

void Mainform::buildMenus() {
  const std::initializer_list<window_kit::MenuSpec> menus = {
      {"mnuFileMain",
       "&File",
       {{"mnuBack", "&Backup", Qt::Key_F5},
        {"mnuRest", "&Restore", Qt::Key_F6},
        {"mnuStreep", "-", kNoKey},
        {"mnuBA", "Backup to floppy", kCtrl | Qt::Key_F5},
        {"mnuRA", "Restore from floppy", kCtrl | Qt::Key_F6},
        {"mnuImport", "&Import contacts...", kCtrl | kShift | Qt::Key_I},
        {"mnuExport", "&Export contacts...", kCtrl | kShift | Qt::Key_E},
        {"L", "-", kNoKey},
        {"mnuQuit", "&Quit", kCtrl | Qt::Key_Q}}},
      {"mnuRecord",
       "&Record",
       {{"mnuAdd", "&Add new record", kShift | Qt::Key_Insert},
        {"mnuEdit", "&Edit current record", Qt::Key_F4},
        {"ld", "-", kNoKey},
        {"mnuDelete", "&Delete current record", Qt::Key_Delete}}},
      {"mnuSearch",
       "&Search",
       {{"mnuFind", "&Search", Qt::Key_F2},
        {"mnuNext", "&Find next", Qt::Key_F3},
        {"mnuSearchStreep", "-", kNoKey},
        {"mnuClear", "&Clear search string", kShift | Qt::Key_F2}}},
      {"mnuPrint",
       "&Print",
       {{"mnuCurrent", "Print &current record", kCtrl | Qt::Key_C},
        {"mnuAll", "Print &all records", kCtrl | Qt::Key_A},
        {"mnuPrintStreep", "-", kNoKey},
        {"mnuSetFont", "&Font && style", kCtrl | Qt::Key_F},
        {"mnuSetPrinter", "Set default &printer", kCtrl | Qt::Key_P}}},
      {"mnuMail",
       "&Internet",
       {{"mnuMailEmail", "Mail to &E-Mail address", Qt::Key_F9},
        {"mnuMailAddress", "Mail to user&name", kShift | Qt::Key_F9},
        {"Lijntje", "-", kNoKey},
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
        {"mnuClipLijn", "-", kNoKey},
        {"mnuRead", "&Read from clipboard", kCtrl | Qt::Key_R}}},
      {"mnuExt",
       "&Extra",
       {{"mnuTxt", "&Open attached text file", kCtrl | Qt::Key_T},
        {"Lijntj", "-", kNoKey},
        {"mnuKill", "&Kill the attached text file", kCtrl | Qt::Key_K},
        {"mnuKillAll", "Kill AL&L attached text files", kCtrl | Qt::Key_L},
        {"LiSync", "-", kNoKey},
        {"mnuSync", "Synchronise with &server", kCtrl | kShift | Qt::Key_S},
        {"mnuAccount", "Server &account...", kNoKey},
        {"Li", "-", kNoKey},
        {"mnuOptions", "&Options", kCtrl | Qt::Key_O}}},
      {"mnuExtra",
       "&Help",
       {{"mnuHelp", "&Shortcuts help", Qt::Key_F1},
        {"mnuInfo", "&File information", kShift | Qt::Key_F1},
        {"helplijn", "-", kNoKey},
        {"mnuManual", "&Htm manual", kShift | kCtrl | Qt::Key_F1},
        {"HelpL", "-", kNoKey},
        {"mnuAbout", "&About the program", kNoKey}}},
  };

  window_kit::addMenus(menuBar(), menus);
}

QAction* Mainform::menuItem(const QString& name) const {
  return window_kit::findMenuItem(this, name);
}

}  // namespace tavelin::main_window
