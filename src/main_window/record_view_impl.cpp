// The main window as the subsystems see it.
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

#include "main_window/mainform.h"
#include "main_window/name_list.h"

namespace tavelin::main_window {

// The rows of the list, which are the table's but while the list is emptied for a restore.
int Mainform::recordCount() const {
  return listModel_->rowCount();
}

QStringView Mainform::recordStored(int row, int field) const {
  return store_.table().stored(row, field);
}

QStringView Mainform::recordValue(int row, int field) const {
  return store_.table().value(row, field);
}

QString Mainform::recordSlot(int row, int field) const {
  return store_.table().slot(row, field);
}

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

void Mainform::selectRow(int row) {
  List1->setListIndex(row);
}

void Mainform::scrollRowToTop(int row) {
  List1->scrollTo(listModel_->index(row, 0), QAbstractItemView::PositionAtTop);
}

void Mainform::showNoRecords() {
  listModel_->showEmpty();
  for (QLineEdit* box : Text) box->clear();
}

void Mainform::setQuitButtonText(const QString& text) {
  Command5->setText(text);
}

void Mainform::setBusy(bool busy) {
  if (busy) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else if (QGuiApplication::overrideCursor()) {
    QGuiApplication::restoreOverrideCursor();
  }
}

}  // namespace tavelin::main_window
