// Searching the records for a text in any field, without regard to case: a new search from
// the first record, find-next after the selected one, and clearing the search.
#include <QAction>
#include <QPushButton>
#include <algorithm>

#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "main_window/search_text.h"
#include "options/frm_options.h"
#include "platform/dialogs.h"
#include "platform/platform.h"

namespace tavelin::main_window {

void Mainform::connectSearch() {
  connect(Command8, &QPushButton::clicked, this, [this] { NewSearch(); });
  connect(Command1, &QPushButton::clicked, this, [this] { FindNext(); });
  connect(menuItem(QStringLiteral("mnuFind")), &QAction::triggered, this, [this] { NewSearch(); });
  connect(menuItem(QStringLiteral("mnuNext")), &QAction::triggered, this, [this] { FindNext(); });
  connect(menuItem(QStringLiteral("mnuClear")), &QAction::triggered, this,
          [this] { mnuClear_Click(); });
}

void Mainform::NewSearch() {
  const QString answer = platform_.dialogs().input(QStringLiteral("Enter search string:"),
                                                   platform::kAppTitle, SearchString);
  SearchString = properCase(ReplaceQuotes(answer));
  if (!SearchString.isEmpty()) {
    List1->setListIndex(0);
    SearchFrom = 0;
    SearchRecords();
    return;
  }
  List1->setFocus();
  Command5->setText(QStringLiteral("Quit"));
}

void Mainform::FindNext() {
  if (SearchString.isEmpty()) {
    List1->setFocus();
    return;
  }
  SearchFrom = 1;
  SearchRecords();
}

void Mainform::SearchRecords() {
  const RecordTable& table = store_.table();
  const int last = std::min(listModel_->rowCount(), table.rowCount()) - 1;
  const int first = std::max(0, List1->listIndex() + SearchFrom);

  // No wrap-around: rows above the first one examined are never looked at.
  const SearchMatcher matcher(SearchString);
  std::array<QStringView, kFieldCount> fields;
  int found = -1;
  for (int row = first; row <= last && found < 0; ++row) {
    for (int k = 0; k < kFieldCount; ++k) fields[k] = table.stored(row, k);
    if (matcher.matches(fields)) found = row;
  }

  if (found >= 0) {
    List1->setListIndex(found);
    List1->scrollTo(listModel_->index(found, 0), QAbstractItemView::PositionAtTop);
    ShowRecord();
  } else {
    platform::showMessage(platform_.dialogs(), QStringLiteral("No (more) matching records found."),
                          platform::Buttons::Ok, platform::Icon::Exclamation);
    if (frmOptions_->isSet(frmOptions_->Check2)) SearchString.clear();
    ShowRecord();
    List1->setFocus();
  }
  Command5->setText(SearchString.isEmpty() ? QStringLiteral("Quit") : QStringLiteral("Clear"));
  List1->setFocus();
}

void Mainform::mnuClear_Click() {
  SearchString.clear();
  ShowRecord();
  Command5->setText(QStringLiteral("Quit"));
}

}  // namespace tavelin::main_window
