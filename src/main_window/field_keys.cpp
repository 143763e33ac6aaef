// The fourteen record fields: focus starts editing, Enter saves, Esc abandons. One handler of
// each kind serves every field. Also the F1 summary of the keys.
#include <QAction>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "attachments/shortcut_help.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "platform/platform.h"

namespace tavelin::main_window {
namespace {

// Watches the fields and passes their focus and key events on; the events still reach the
// fields afterwards.
class FieldEvents final : public QObject {
 public:
  explicit FieldEvents(Mainform& window) : QObject(&window), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::KeyPress) return false;
    const auto it = std::find(window_.Text.begin(), window_.Text.end(), watched);
    if (it == window_.Text.end()) return false;
    const int field = static_cast<int>(it - window_.Text.begin());
    if (event->type() == QEvent::FocusIn) {
      // Coming back from another window or a menu is not the field getting the focus.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        window_.Text_GotFocus(field);
      }
    } else if (event->type() == QEvent::KeyPress) {
      switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
          window_.Text_KeyDown(field, 13);
          break;
        case Qt::Key_Escape:
          window_.Text_KeyDown(field, 27);
          break;
        default:
          break;
      }
    }
    return false;
  }

 private:
  Mainform& window_;
};

}  // namespace

void Mainform::connectFieldKeys() {
  auto* events = new FieldEvents(*this);
  for (QLineEdit* box : Text) box->installEventFilter(events);
  connect(menuItem(QStringLiteral("mnuHelp")), &QAction::triggered, this,
          [this] { attachments::ShowShortcutHelp(platform_.dialogs()); });
}

void Mainform::Text_GotFocus(int) {
  if (!Adding) SetEditMode();
}

void Mainform::Text_KeyDown(int, int keyCode) {
  if (keyCode == 27) {
    ShowRecord();  // back to browse mode with the stored record; nothing is written
    List1->setFocus();
  } else if (keyCode == 13) {
    if (Command4->text() != QLatin1String("Save")) {
      Command2_Click();
    } else {
      AddRecord();
    }
  }
}

}  // namespace tavelin::main_window
