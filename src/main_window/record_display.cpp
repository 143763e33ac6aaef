// The display of the selected record and the name list's own events.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "attachments/attachment_file.h"
#include "contracts/field.h"
#include "dialer/dialer.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"

namespace tavelin::main_window {

void Mainform::ShowRecord() {
  SetBrowseMode();

  const int row = List1->listIndex();
  const QString caption = QStringLiteral("Record %1/%2").arg(row + 1).arg(listModel_->rowCount());
  if (Frame2->title() != caption) Frame2->setTitle(caption);

  const RecordTable& table = store_.table();
  if (row >= 0 && row < table.rowCount()) {
    for (int k = 0; k < kFieldCount; ++k) {
      const QStringView value = table.value(row, k);
      if (Text[k]->text() != value) Text[k]->setText(value.toString());
    }
  }

  for (QLineEdit* box : Text) {
    const bool bold =
        !SearchString.isEmpty() && box->text().contains(SearchString, Qt::CaseInsensitive);
    if (box->font().bold() != bold) {
      QFont f = box->font();
      f.setBold(bold);
      box->setFont(f);
    }
  }
}

void Mainform::List1_Click() {
  ShowRecord();
  QFont f = Label13->font();
  const bool attached = attachments::hasAttachment(Text[Field::FullName]->text());
  if (f.underline() != attached) {
    f.setUnderline(attached);
    Label13->setFont(f);
  }
}

void Mainform::List1_DblClick() {
  dialer_->dialFirstNumberWhenBrowsing();
}

void Mainform::List1_KeyDown(int keyCode) {
  if (keyCode == 13) {
    dialer_->DialNumber(Text[Field::Phone1]->text());  // in every mode
    return;
  }
  if (keyCode != 27) return;
  if (SearchString.isEmpty()) {
    EndProgram();
    return;
  }
  SearchString.clear();
  Command5->setText(QStringLiteral("Quit"));
  ShowRecord();
  List1->setFocus();
}

void Mainform::List1_MouseDown(Qt::MouseButton button) {
  // As "Add" does: starts a new record, or saves the one being added.
  if (button == Qt::RightButton) AddRecord();
}

void Mainform::SetBrowseMode() {
  Adding = false;
  Editing = false;
  List1->setFocusPolicy(Qt::StrongFocus);
  for (QPushButton* b : {Command2, Command3, Command4}) b->setFocusPolicy(Qt::ClickFocus);
  Command1->setEnabled(true);
  Command2->setEnabled(true);
  Command3->setText(QStringLiteral("Delete"));
  for (QPushButton* b : {Command4, Command5, Command6, Command7, Command8, Command9}) {
    b->setEnabled(true);
  }
  Command2->setText(QStringLiteral("Edit"));
  Command4->setText(QStringLiteral("Add"));
}

}  // namespace tavelin::main_window
