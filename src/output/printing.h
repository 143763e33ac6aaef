#pragma once

namespace tavelin {
class RecordView;
}  // namespace tavelin
namespace tavelin::platform {
class Dialogs;
class Printer;
}  // namespace tavelin::platform

namespace tavelin::output {

// The Print menu: the shown record or every record on the printer, and the printer's font
// and printer dialogs.
class Printing {
 public:
  Printing(platform::Printer& printer, platform::Dialogs& dialogs, RecordView& view);

  // Sends the record text of a table row to the printer, without ending the job.
  void PrintRecord(int row);

  void mnuCurrent_Click();
  void mnuAll_Click();
  void mnuSetFont_Click();
  void mnuSetPrinter_Click();

 private:
  bool refusedWhileEditing();
  void printRows(int first, int last);

  platform::Printer& printer_;
  platform::Dialogs& dialogs_;
  RecordView& view_;
};

}  // namespace tavelin::output
