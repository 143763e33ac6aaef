#pragma once

class QWidget;

namespace tavelin {
class RecordView;
}
namespace tavelin::dialer {
class CommControl;
}
namespace tavelin::platform {
class Platform;
}

namespace tavelin::options {

class FrmOptions;

// What the options window does: it is shown over the main window, "OK" stores the options,
// "Cancel" keeps them for this run only, and a port chosen in the list is used at once.
class OptionsDialog final {
 public:
  OptionsDialog(FrmOptions& form, dialer::CommControl& comm, platform::Platform& platform,
                QWidget& mainWindow, RecordView& view);

  // Shows the dialog centred, with the main window disabled, until OK or Cancel hides it.
  void mnuOptions_Click();
  void Command1_Click();
  void Command2_Click();
  // A port chosen in the list, by its row.
  void cboPort_Click(int index);

 private:
  FrmOptions& form_;
  dialer::CommControl& comm_;
  platform::Platform& platform_;
  QWidget& mainWindow_;
  RecordView& view_;
  int NewPort = 0;  // the port number last chosen
  int OldPort = 0;  // the serial control's port number before the last change
};

}  // namespace tavelin::options
