// Backup to and restore from TAVELIN.BAK and the removable disk, and the file report.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include "backup/backup_files.h"
#include "backup/file_info_report.h"
#include "backup/wait_cursor.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "platform/settings_store.h"
#include "record_store/atomic_file.h"
#include "record_store/paths.h"

namespace tavelin::main_window {

using platform::Button;
using platform::Buttons;
using platform::Icon;

namespace {

const QString kDiskError = QStringLiteral("Disk error. Please check the disk in drive A:");

// Read at every use, so that a changed setting needs no restart.
QString floppyCopy(platform::Platform& platform) {
  return backup::floppyCopyPath(
      platform.settings().value(QStringLiteral("Platform"), QStringLiteral("FloppyPath")));
}

}  // namespace

void Mainform::connectBackupControls() {
  const auto onClick = [this](QPushButton* button, void (Mainform::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
  };
  const auto onMenu = [this](const char* item, void (Mainform::*handler)()) {
    connect(menuItem(QLatin1String(item)), &QAction::triggered, this,
            [this, handler] { (this->*handler)(); });
  };
  onClick(Command6, &Mainform::BackupFile);
  onMenu("mnuBack", &Mainform::BackupFile);
  onClick(Command7, &Mainform::RestoreFile);
  onMenu("mnuRest", &Mainform::RestoreFile);
  onMenu("mnuBA", &Mainform::mnuBA_Click);
  onMenu("mnuRA", &Mainform::mnuRA_Click);
  onClick(Command9, &Mainform::ShowFileInfo);
  onMenu("mnuInfo", &Mainform::ShowFileInfo);
}

void Mainform::BackupFile() {
  if (platform::showMessage(platform_.dialogs(),
                            QStringLiteral("Backup the file? Previous backup will be overwritten!"),
                            Buttons::YesNo, Icon::Question) != Button::Yes) {
    List1->setFocus();
    return;
  }
  // The backup is written from the table, through the same writer as the data file.
  if (const SaveResult written = store_.WriteBackup(kBackupFileName); !written) {
    reportWriteError(written.error());
  } else {
    platform::showMessage(
        platform_.dialogs(),
        QString::number(listModel_->rowCount()) + u" Records were backed up successfully.",
        Buttons::Ok, Icon::Information);
  }
  List1->setFocus();
}

void Mainform::RestoreFile() {
  if (backup::readableLength(kBackupFileName) == 0) {
    platform::showMessage(platform_.dialogs(), QStringLiteral("Could not find backup file!"),
                          Buttons::Ok, Icon::Critical);
    List1->setFocus();
    return;
  }
  if (platform::showMessage(
          platform_.dialogs(),
          QStringLiteral("Restore the file? File will be overwritten with backup!"), Buttons::YesNo,
          Icon::Question) != Button::Yes) {
    List1->setFocus();
    return;
  }
  if (const SaveResult restored = store_.RestoreFrom(kBackupFileName); !restored) {
    reportWriteError(
        restored.error());  // nothing was replaced: the window still shows the data file
    List1->setFocus();
    return;
  }
  SortFile();
  List1->setListIndex(0);
  platform::showMessage(
      platform_.dialogs(),
      QString::number(listModel_->rowCount()) + u" Records were restored successfully.",
      Buttons::Ok, Icon::Information);
  List1->setFocus();
}

void Mainform::mnuBA_Click() {
  if (platform::showMessage(
          platform_.dialogs(),
          QStringLiteral("Place a blank, formatted disk in the drive and click OK."),
          Buttons::OkCancel, Icon::None, QStringLiteral("Floppy backup")) != Button::Ok) {
    List1->setFocus();
    return;
  }
  backup::WaitCursor waiting;
  const QString copy = floppyCopy(platform_);
  const std::optional<WriteError> error = copyFileAtomically(kDataFileName, copy);
  waiting.release();
  if (error) {
    platform::showMessage(platform_.dialogs(), kDiskError, Buttons::Ok, Icon::Critical,
                          QStringLiteral("Backup error"));
    return;
  }
  platform::showMessage(
      platform_.dialogs(),
      QString::number(listModel_->rowCount()) + u" records backed up successfully.", Buttons::Ok,
      Icon::Information, QStringLiteral("Backup"));
}

void Mainform::mnuRA_Click() {
  if (platform::showMessage(
          platform_.dialogs(), QStringLiteral("Place the backup disk in the drive and click OK."),
          Buttons::OkCancel, Icon::None, QStringLiteral("Floppy restore")) != Button::Ok) {
    List1->setFocus();
    return;
  }
  listModel_->showEmpty();
  for (QLineEdit* box : Text) box->clear();
  platform_.processEvents();  // let the emptied window paint
  backup::WaitCursor waiting;

  const QString copy = floppyCopy(platform_);
  const std::optional<qint64> length = backup::appendProbe(copy);
  if (length.value_or(0) != 0 && store_.RestoreFrom(copy)) {
    SortFile();
    List1->setListIndex(0);
    waiting.release();
    platform::showMessage(
        platform_.dialogs(),
        QString::number(listModel_->rowCount()) + u" records were restored successfully.",
        Buttons::Ok, Icon::Information);
    List1->setFocus();
    return;
  }

  // Nothing was copied: the data file is as it was. Show it again, and write it back only
  // when it could be read, so that an unreadable or missing file is never replaced by the
  // blank record such a load gives.
  waiting.release();
  platform::showMessage(platform_.dialogs(), kDiskError, Buttons::Ok, Icon::Critical,
                        QStringLiteral("Restore error"));
  const bool readable = backup::isReadableFile(kDataFileName);
  SortFile();
  if (readable) {
    // Our own rewrite is no other user's change.
    if (const SaveResult written = store_.WriteBack(); !written) {
      reportWriteError(written.error());
    }
  }
  List1->setListIndex(0);
  List1->setFocus();
}

void Mainform::ShowFileInfo() {
  backup::FileInfoValues values =
      backup::gatherFileInfo(store_.dataFile(), SearchString, listModel_->rowCount());
  values.keptLines = store_.keptLineCount();
  const backup::FileInfoReport report = backup::buildFileInfoReport(values);
  if (report.upToDate) {
    platform::showMessage(platform_.dialogs(), report.text, Buttons::Ok, Icon::Information,
                          QStringLiteral("File information"));
  } else {
    platform::showMessage(platform_.dialogs(), report.text, Buttons::Ok, Icon::Exclamation,
                          QStringLiteral("Info and backup warning"));
  }
}

}  // namespace tavelin::main_window
