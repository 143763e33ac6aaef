// The three modes (browse, add, edit) and the operations between them: add, edit, save,
// cancel and delete. Every change rewrites the data file in one step and loads it again.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "attachments/attachment_file.h"
#include "contracts/field.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "platform/dialogs.h"
#include "platform/platform.h"

namespace tavelin::main_window {

using platform::Buttons;
using platform::Icon;

namespace {

const QString kSave = QStringLiteral("Save");
const QString kCancel = QStringLiteral("Cancel");

// While a record is typed the link labels have nothing to offer; the next tick sets them again.
void emptyLinkToolTips(Mainform& w) {
  for (QLabel* label : {w.Label5, w.Label3, w.Label6, w.Label10, w.Label11, w.Label12}) {
    label->setToolTip(QString());
  }
}

FieldTexts typedFields(const Mainform& w) {
  FieldTexts typed;
  for (int k = 0; k < kFieldCount; ++k) typed[k] = w.Text[k]->text();
  return typed;
}

}  // namespace

void Mainform::connectEditing() {
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { DeleteOrCancel(); });
  connect(Command4, &QPushButton::clicked, this, [this] { AddRecord(); });
  connect(menuItem(QStringLiteral("mnuAdd")), &QAction::triggered, this, [this] { AddRecord(); });
  connect(menuItem(QStringLiteral("mnuEdit")), &QAction::triggered, this, [this] { EditRecord(); });
  connect(menuItem(QStringLiteral("mnuDelete")), &QAction::triggered, this,
          [this] { DeleteOrCancel(); });
}

void Mainform::Command2_Click() {
  EditRecord();
}

void Mainform::SetEditMode() {
  Editing = true;
  emptyLinkToolTips(*this);
  List1->setFocusPolicy(Qt::ClickFocus);
  for (QPushButton* b : {Command2, Command3, Command4}) b->setFocusPolicy(Qt::StrongFocus);
  Command1->setEnabled(false);
  Command2->setEnabled(true);
  Command3->setText(kCancel);
  for (QPushButton* b : {Command4, Command5, Command6, Command7, Command8, Command9}) {
    b->setEnabled(false);
  }
  Command2->setText(kSave);
}

void Mainform::EditRecord() {
  Editing = true;
  if (Command2->text() != kSave) {
    if (!Adding) SetEditMode();
    Text[Field::FullName]->setFocus();
    // Only matters when this comes while adding: the add layout leaves "Edit" there.
    Command2->setText(kSave);
    return;
  }

  const int row = List1->listIndex();
  if (trimBlanks(Text[Field::FullName]->text()).isEmpty()) {
    platform::showMessage(platform_.dialogs(), QStringLiteral("The NAME field cannot be blank."),
                          Buttons::Ok, Icon::Critical);
    SortFile();  // the typed changes are dropped
    List1->setListIndex(row);
    List1->setFocus();
    SetBrowseMode();
    return;
  }

  // The edited record replaces the selected one in the same write; a failed write changes
  // nothing, and the typed fields stay for another try.
  if (const SaveResult saved = store_.SaveRest(row, BuildLineFromFields(typedFields(*this)));
      !saved) {
    reportWriteError(saved.error());
    return;
  }
  SortFile();
  // The same row number, not the same record: a renamed record may have moved away.
  List1->setListIndex(row);
  List1->setFocus();
  SetBrowseMode();
}

void Mainform::AddRecord() {
  emptyLinkToolTips(*this);
  for (QLineEdit* box : Text) {
    if (box->font().bold()) {
      QFont f = box->font();
      f.setBold(false);
      box->setFont(f);
    }
  }
  Adding = true;

  if (Command4->text() != kSave) {
    for (int k = 0; k < kFieldCount; ++k) {
      SavedFields[k] = Text[k]->text().leftJustified(kFieldWidth, QLatin1Char(' '), true);
      Text[k]->clear();
    }
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    Command3->setText(kCancel);
    Command3->setFocusPolicy(Qt::StrongFocus);
    Command4->setEnabled(true);
    Command4->setFocusPolicy(Qt::StrongFocus);
    for (QPushButton* b : {Command5, Command6, Command7, Command8, Command9}) b->setEnabled(false);
    Command4->setText(kSave);
    List1->setFocusPolicy(Qt::ClickFocus);
    Text[Field::FullName]->setFocus();
    return;
  }

  // Unlike an edit, a name of blanks only is accepted here: only an empty one is refused.
  if (Text[Field::FullName]->text().isEmpty()) {
    platform::showMessage(platform_.dialogs(),
                          QStringLiteral("You must at least enter the NAME field."), Buttons::Ok,
                          Icon::Critical);
    for (int k = 0; k < kFieldCount; ++k) Text[k]->setText(SavedFields[k]);
    SetBrowseMode();
    ShowRecord();
    List1->setFocus();
  } else {
    const int row = List1->listIndex();
    if (const SaveResult saved = store_.SaveAll(BuildLineFromFields(typedFields(*this))); !saved) {
      reportWriteError(saved.error());  // still adding, with everything typed
      return;
    }
    SortFile();
    // Back on the row selected before Add; the new record is wherever it sorted to.
    List1->setListIndex(row);
    List1->setFocus();
    SetBrowseMode();
  }
  Adding = false;
}

void Mainform::DeleteOrCancel() {
  if (Command3->text() != kCancel) {
    DeleteRecord();
    return;
  }
  SetBrowseMode();
  ShowRecord();  // the table's record again: whatever was typed is gone
  List1->setFocus();
  Adding = false;
  Editing = false;
}

void Mainform::DeleteRecord() {
  if (platform::showMessage(platform_.dialogs(),
                            QStringLiteral("Do you really want to delete this record ?"),
                            Buttons::YesNo, Icon::Question) != platform::Button::Yes) {
    return;
  }
  const std::optional<QString> attachment =
      attachments::attachmentFileName(Text[Field::FullName]->text());
  const int row = List1->listIndex();
  if (const SaveResult saved = store_.SaveRest(row); !saved) {
    reportWriteError(saved.error());  // the record and its attachment stay
    return;
  }
  // Only once the record is gone from the file may its attachment go.
  if (attachment) QFile::remove(*attachment);
  SortFile();
  List1->setListIndex(row > 0 ? row - 1 : 0);
  List1->setFocus();
}

}  // namespace tavelin::main_window
