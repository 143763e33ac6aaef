#pragma once

#include <QDialog>
#include <QIcon>

class QFrame;
class QLabel;
class QPushButton;

namespace tavelin {
class RecordView;
}
namespace tavelin::platform {
class Platform;
}

namespace tavelin::options {

// The About box: title, version, and a way to the system-information program.
class FrmAbout final : public QDialog {
  Q_OBJECT
 public:
  explicit FrmAbout(platform::Platform& platform, QWidget* parent = nullptr);

  void Form_Load();
  void cmdOK_Click();
  void cmdSysInfo_Click();

  QLabel* picIcon;
  QLabel* lblTitle;
  QLabel* lblVersion;
  QLabel* lblDescription;
  QFrame* Line1;
  QPushButton* cmdSysInfo;
  QPushButton* cmdOK;

 private:
  platform::Platform& platform_;
};

// The program's icon, for its windows and the About box.
QIcon programIcon();

// The version as the About box shows it: "Version " + major + "." + minor + "." + revision.
QString versionText(int major, int minor, int revision);

// mnuAbout_Click: loads the box, shows it over the disabled main window, waits until it is
// closed, unloads it and gives the name list the focus.
void mnuAbout_Click(platform::Platform& platform, QWidget& mainWindow, RecordView& view);

}  // namespace tavelin::options
