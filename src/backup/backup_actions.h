#pragma once

#include <QString>

namespace tavelin {
class RecordStore;
class RecordView;
}  // namespace tavelin
namespace tavelin::platform {
class Platform;
}

namespace tavelin::backup {

// Backup to and restore from TAVELIN.BAK and the removable disk, and the file report, as the
// buttons and the menu run them: each asks first, says how it went, and leaves the list
// focused.
class BackupActions {
 public:
  BackupActions(platform::Platform& platform, RecordStore& store, RecordView& view);

  void BackupFile();
  void RestoreFile();
  void mnuBA_Click();
  void mnuRA_Click();
  // The report names the search string the window holds.
  void ShowFileInfo(const QString& searchString);

 private:
  platform::Platform& platform_;
  RecordStore& store_;
  RecordView& view_;
};

}  // namespace tavelin::backup
