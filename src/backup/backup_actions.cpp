// Backup to and restore from TAVELIN.BAK and the removable disk, and the file report.
#include "backup/backup_actions.h"

#include "backup/backup_files.h"
#include "backup/file_info_report.h"
#include "backup/wait_cursor.h"
#include "contracts/record_view.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "platform/settings_store.h"
#include "record_store/atomic_file.h"
#include "record_store/paths.h"
#include "record_store/record_store.h"

namespace tavelin::backup {

using platform::Button;
using platform::Buttons;
using platform::Icon;

namespace {

const QString kDiskError = QStringLiteral("Disk error. Please check the disk in drive A:");

// Read at every use, so that a changed setting needs no restart.
QString floppyCopy(platform::Platform& platform) {
  return floppyCopyPath(
      platform.settings().value(QStringLiteral("Platform"), QStringLiteral("FloppyPath")));
}

}  // namespace

BackupActions::BackupActions(platform::Platform& platform, RecordStore& store, RecordView& view)
    : platform_(platform), store_(store), view_(view) {}

void BackupActions::BackupFile() {
  if (platform::showMessage(platform_.dialogs(),
                            QStringLiteral("Backup the file? Previous backup will be overwritten!"),
                            Buttons::YesNo, Icon::Question) != Button::Yes) {
    view_.focusList();
    return;
  }
  // The backup is written from the table, through the same writer as the data file.
  if (const SaveResult written = store_.WriteBackup(kBackupFileName); !written) {
    view_.reportWriteError(written.error());
  } else {
    platform::showMessage(
        platform_.dialogs(),
        QString::number(view_.recordCount()) + u" Records were backed up successfully.",
        Buttons::Ok, Icon::Information);
  }
  view_.focusList();
}

void BackupActions::RestoreFile() {
  if (readableLength(kBackupFileName) == 0) {
    platform::showMessage(platform_.dialogs(), QStringLiteral("Could not find backup file!"),
                          Buttons::Ok, Icon::Critical);
    view_.focusList();
    return;
  }
  if (platform::showMessage(
          platform_.dialogs(),
          QStringLiteral("Restore the file? File will be overwritten with backup!"), Buttons::YesNo,
          Icon::Question) != Button::Yes) {
    view_.focusList();
    return;
  }
  if (const SaveResult restored = store_.RestoreFrom(kBackupFileName); !restored) {
    // Nothing was replaced: the window still shows the data file.
    view_.reportWriteError(restored.error());
    view_.focusList();
    return;
  }
  view_.reload();
  view_.selectRow(0);
  platform::showMessage(
      platform_.dialogs(),
      QString::number(view_.recordCount()) + u" Records were restored successfully.", Buttons::Ok,
      Icon::Information);
  view_.focusList();
}

void BackupActions::mnuBA_Click() {
  if (platform::showMessage(
          platform_.dialogs(),
          QStringLiteral("Place a blank, formatted disk in the drive and click OK."),
          Buttons::OkCancel, Icon::None, QStringLiteral("Floppy backup")) != Button::Ok) {
    view_.focusList();
    return;
  }
  WaitCursor waiting;
  const QString copy = floppyCopy(platform_);
  const std::optional<WriteError> error = copyFileAtomically(kDataFileName, copy);
  waiting.release();
  if (error) {
    platform::showMessage(platform_.dialogs(), kDiskError, Buttons::Ok, Icon::Critical,
                          QStringLiteral("Backup error"));
    return;
  }
  platform::showMessage(platform_.dialogs(),
                        QString::number(view_.recordCount()) + u" records backed up successfully.",
                        Buttons::Ok, Icon::Information, QStringLiteral("Backup"));
}

void BackupActions::mnuRA_Click() {
  if (platform::showMessage(
          platform_.dialogs(), QStringLiteral("Place the backup disk in the drive and click OK."),
          Buttons::OkCancel, Icon::None, QStringLiteral("Floppy restore")) != Button::Ok) {
    view_.focusList();
    return;
  }
  view_.showNoRecords();
  platform_.processEvents();  // let the emptied window paint
  WaitCursor waiting;

  const QString copy = floppyCopy(platform_);
  const std::optional<qint64> length = appendProbe(copy);
  if (length.value_or(0) != 0 && store_.RestoreFrom(copy)) {
    view_.reload();
    view_.selectRow(0);
    waiting.release();
    platform::showMessage(
        platform_.dialogs(),
        QString::number(view_.recordCount()) + u" records were restored successfully.", Buttons::Ok,
        Icon::Information);
    view_.focusList();
    return;
  }

  // Nothing was copied: the data file is as it was. Show it again, and write it back only
  // when it could be read, so that an unreadable or missing file is never replaced by the
  // blank record such a load gives.
  waiting.release();
  platform::showMessage(platform_.dialogs(), kDiskError, Buttons::Ok, Icon::Critical,
                        QStringLiteral("Restore error"));
  const bool readable = isReadableFile(kDataFileName);
  view_.reload();
  if (readable) {
    // Our own rewrite is no other user's change.
    if (const SaveResult written = store_.WriteBack(); !written) {
      view_.reportWriteError(written.error());
    }
  }
  view_.selectRow(0);
  view_.focusList();
}

void BackupActions::ShowFileInfo(const QString& searchString) {
  FileInfoValues values = gatherFileInfo(store_.dataFile(), searchString, view_.recordCount());
  values.keptLines = store_.keptLineCount();
  const FileInfoReport report = buildFileInfoReport(values);
  if (report.upToDate) {
    platform::showMessage(platform_.dialogs(), report.text, Buttons::Ok, Icon::Information,
                          QStringLiteral("File information"));
  } else {
    platform::showMessage(platform_.dialogs(), report.text, Buttons::Ok, Icon::Exclamation,
                          QStringLiteral("Info and backup warning"));
  }
}

}  // namespace tavelin::backup
