// The main window as the subsystems see it.
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

#include "main_window/mainform.h"
#include "main_window/name_list.h"

namespace tavelin::main_window {

QString Mainform::fieldText(int field) const {
  if (field < 0 || field >= kFieldCount) return {};
  return Text[field]->text();
}

void Mainform::setFieldText(int field, const QString& text) {
  if (field >= 0 && field < kFieldCount) Text[field]->setText(text);
}

bool Mainform::isCancelShown() const {
  return Command3->text() == QStringLiteral("Cancel");
}

int Mainform::selectedRow() const {
  return List1->listIndex();
}

void Mainform::focusList() {
  List1->setFocus();
}

void Mainform::setBusy(bool busy) {
  if (busy) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else if (QGuiApplication::overrideCursor()) {
    QGuiApplication::restoreOverrideCursor();
  }
}

}  // namespace tavelin::main_window
