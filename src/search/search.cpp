#include "search/search.h"

#include <algorithm>
#include <array>

#include "contracts/live_options.h"
#include "contracts/record_view.h"
#include "platform/dialogs.h"
#include "record_store/record_lines.h"
#include "search/search_text.h"

namespace tavelin::search {

Search::Search(platform::Dialogs& dialogs, const LiveOptions& options, RecordView& view,
               QString& searchString)
    : dialogs_(dialogs), options_(options), view_(view), SearchString(searchString) {}

void Search::NewSearch() {
  const QString answer =
      dialogs_.input(QStringLiteral("Enter search string:"), platform::kAppTitle, SearchString);
  SearchString = properCase(ReplaceQuotes(answer));
  if (!SearchString.isEmpty()) {
    view_.selectRow(0);
    SearchFrom = 0;
    SearchRecords();
    return;
  }
  view_.focusList();
  view_.setQuitButtonText(QStringLiteral("Quit"));
}

void Search::FindNext() {
  if (SearchString.isEmpty()) {
    view_.focusList();
    return;
  }
  SearchFrom = 1;
  SearchRecords();
}

void Search::SearchRecords() {
  const int last = view_.recordCount() - 1;
  const int first = std::max(0, view_.selectedRow() + SearchFrom);

  // No wrap-around: rows above the first one examined are never looked at.
  const SearchMatcher matcher(SearchString);
  std::array<QStringView, kFieldCount> fields;
  int found = -1;
  for (int row = first; row <= last && found < 0; ++row) {
    for (int k = 0; k < kFieldCount; ++k) fields[k] = view_.recordStored(row, k);
    if (matcher.matches(fields)) found = row;
  }

  if (found >= 0) {
    view_.selectRow(found);
    view_.scrollRowToTop(found);
    view_.showRecord();
  } else {
    platform::showMessage(dialogs_, QStringLiteral("No (more) matching records found."),
                          platform::Buttons::Ok, platform::Icon::Exclamation);
    if (options_.clearSearchStringIfSearchFails()) SearchString.clear();
    view_.showRecord();
    view_.focusList();
  }
  view_.setQuitButtonText(SearchString.isEmpty() ? QStringLiteral("Quit")
                                                 : QStringLiteral("Clear"));
  view_.focusList();
}

void Search::mnuClear_Click() {
  SearchString.clear();
  view_.showRecord();
  view_.setQuitButtonText(QStringLiteral("Quit"));
}

}  // namespace tavelin::search
