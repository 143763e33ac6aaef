#include "platform/dialogs.h"

namespace tavelin::platform {

Button showMessage(Dialogs& dialogs, const QString& text, Buttons buttons, Icon icon,
                   const QString& title) {
  Message m;
  m.text = text;
  m.title = title;
  m.buttons = buttons;
  m.icon = icon;
  m.defaultButton = buttons == Buttons::YesNo ? Button::Yes : Button::Ok;
  return dialogs.message(m);
}

}  // namespace tavelin::platform
