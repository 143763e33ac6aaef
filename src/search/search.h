#pragma once

#include <QString>

namespace tavelin {
class LiveOptions;
class RecordView;
}  // namespace tavelin
namespace tavelin::platform {
class Dialogs;
}

namespace tavelin::search {

// Searching the records for a text in any field, without regard to case: a new search from
// the first record, find-next after the selected one, and clearing the search. The search
// string is the window's (its title and the file report show it); the search reads and
// writes it there.
class Search {
 public:
  Search(platform::Dialogs& dialogs, const LiveOptions& options, RecordView& view,
         QString& searchString);

  void NewSearch();
  void FindNext();
  void SearchRecords();
  void mnuClear_Click();

  int SearchFrom = 0;  // 0: a new search, 1: find next

 private:
  platform::Dialogs& dialogs_;
  const LiveOptions& options_;
  RecordView& view_;
  QString& SearchString;
};

}  // namespace tavelin::search
