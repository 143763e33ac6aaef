#pragma once

namespace tavelin {
class RecordView;
}
namespace tavelin::platform {
class Clipboard;
class Dialogs;
}  // namespace tavelin::platform

namespace tavelin::output {

// The Clipboard menu: the shown record or its postal address onto the clipboard as text, and
// the fields of a record being added or edited filled from the clipboard's text.
class ClipboardExchange {
 public:
  ClipboardExchange(platform::Clipboard& clipboard, platform::Dialogs& dialogs, RecordView& view);

  void CopyRecord();
  void CopyAddress();
  void mnuClipRecord_Click();
  void mnuClipAddr_Click();
  void mnuRead_Click();

 private:
  platform::Clipboard& clipboard_;
  platform::Dialogs& dialogs_;
  RecordView& view_;
};

}  // namespace tavelin::output
