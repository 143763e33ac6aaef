#pragma once

#include <QString>

namespace tavelin::platform {

// The title of every box that has none of its own.
inline const QString kAppTitle = QStringLiteral("Tavelin");

enum class Buttons { Ok, OkCancel, YesNo };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Button { Ok, Cancel, Yes, No };

struct Message {
  QString text;
  QString title = kAppTitle;
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  Button defaultButton = Button::Ok;  // Yes for Yes/No boxes unless a caller says otherwise
};

// Modal message and input boxes. The window classes never open a box themselves.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows the box and returns the button pressed (closing it counts as Cancel or No).
  virtual Button message(const Message& message) = 0;
  // An input box; Cancel gives the empty text.
  virtual QString input(const QString& prompt, const QString& title, const QString& proposed) = 0;
};

// The common case: text, buttons, icon and title, the first button the default.
Button showMessage(Dialogs& dialogs, const QString& text, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::None, const QString& title = kAppTitle);

}  // namespace tavelin::platform
