#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace tavelin::platform {
namespace {

QMessageBox::StandardButton toQt(Button b) {
  switch (b) {
    case Button::Ok:
      return QMessageBox::Ok;
    case Button::Cancel:
      return QMessageBox::Cancel;
    case Button::Yes:
      return QMessageBox::Yes;
    case Button::No:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon toQt(Icon icon) {
  switch (icon) {
    case Icon::None:
      return QMessageBox::NoIcon;
    case Icon::Critical:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Information:
      return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

// Some messages end their lines with a CR alone, which Qt's labels do not break on.
QString displayed(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

Button QtDialogs::message(const Message& m) {
  QMessageBox box(toQt(m.icon), m.title, displayed(m.text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  switch (m.buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
    case Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
  }
  box.setDefaultButton(toQt(m.defaultButton));
  switch (box.exec()) {
    case QMessageBox::Ok:
      return Button::Ok;
    case QMessageBox::Yes:
      return Button::Yes;
    case QMessageBox::No:
      return Button::No;
    default:
      return m.buttons == Buttons::Ok      ? Button::Ok
             : m.buttons == Buttons::YesNo ? Button::No
                                           : Button::Cancel;
  }
}

QString QtDialogs::input(const QString& prompt, const QString& title, const QString& proposed) {
  bool ok = false;
  const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                             QLineEdit::Normal, proposed, &ok);
  return ok ? text : QString();
}

}  // namespace tavelin::platform
