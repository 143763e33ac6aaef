#pragma once

#include <QString>
#include <iterator>

namespace tavelin {

// The clickable labels beside the fields, by their designer names; Label13 is the page glyph.
enum class ClickLabel : int { Label5, Label3, Label10, Label11, Label12, Label6, Label8, Label13 };
inline constexpr int kClickLabelCount = int(ClickLabel::Label13) + 1;

// The menu items whose enabled state follows the mode and the fields, by their object names.
enum class MenuItem : int {
  mnuRead,
  mnuClipAddr,
  mnuClipRecord,
  mnuURL,
  mnuNext,
  mnuClear,
  mnuMailEmail,
  mnuBack,
  mnuAdd,
  mnuEdit,
  mnuDelete,
  mnuFind,
  mnuCurrent,
  mnuAll,
  mnuMailAddress,
  mnuDial1,
  mnuDial2,
  mnuDial3,
  mnuDial4,
  mnuKill,
  mnuTxt,
  mnuImport,
  mnuExport,
  mnuSync,
};
inline constexpr int kMenuItemCount = int(MenuItem::mnuSync) + 1;  // mnuSync stays the last

// The object name of a menu item, as the window's menu bar names its action.
inline QLatin1String menuItemName(MenuItem item) {
  static constexpr const char* names[]{
      "mnuRead",      "mnuClipAddr", "mnuClipRecord",  "mnuURL",    "mnuNext",   "mnuClear",
      "mnuMailEmail", "mnuBack",     "mnuAdd",         "mnuEdit",   "mnuDelete", "mnuFind",
      "mnuCurrent",   "mnuAll",      "mnuMailAddress", "mnuDial1",  "mnuDial2",  "mnuDial3",
      "mnuDial4",     "mnuKill",     "mnuTxt",         "mnuImport", "mnuExport", "mnuSync"};
  static_assert(std::size(names) == kMenuItemCount);
  return QLatin1String(names[static_cast<size_t>(item)]);
}

// The secondary state of the main window that the window state refresher writes: pointers and
// tool tips, the title bar, the Quit/Clear caption and the menu items above. The window
// implements it; the refresher's tests use a fake.
class WindowControls {
 public:
  virtual ~WindowControls() = default;

  // The label's own pointer image when own is true, else the default arrow.
  virtual void setLabelPointer(ClickLabel label, bool own) = 0;
  virtual void setLabelToolTip(ClickLabel label, const QString& text) = 0;
  // Text1..Text14 by Field.
  virtual void setFieldToolTip(int field, const QString& text) = 0;
  virtual void setListToolTip(const QString& text) = 0;

  virtual QString title() const = 0;
  virtual void setTitle(const QString& title) = 0;
  // Command5's caption.
  virtual QString quitButtonText() const = 0;
  virtual void setQuitButtonText(const QString& text) = 0;

  virtual void setMenuItemEnabled(MenuItem item, bool enabled) = 0;
};

}  // namespace tavelin
