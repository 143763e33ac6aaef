#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "record_store/atomic_file.h"
#include "record_store/change_set.h"
#include "record_store/file_contents.h"
#include "record_store/file_lock.h"
#include "record_store/page_buffer.h"
#include "record_store/paths.h"
#include "record_store/record_table.h"
#include "record_store/text_codec.h"

namespace tavelin {

// The data file and its in-memory table. Every change rewrites the whole file, and the
// caller loads it again; row i of the table is row i of the name list.
//
// A save is one change set (change_set.h), however many lines it adds, replaces or removes:
//     ChangeSet changes;
//     changes.added << line;  // ... 15000 of them for an import
//     if (const SaveResult result = store.Apply(changes); !result) report(result.error());
//     store.SortFile();       // one reload for the whole set
// SaveAll and SaveRest are that call for the window's single change.
class RecordStore {
 public:
  explicit RecordStore(QString workFile);
  ~RecordStore();

  // The file SortFile reads and the saves write, relative to the working directory.
  const QString& dataFile() const { return dataFile_; }
  // The data file's modification time at the last load, to the second; empty until known.
  const QString& fileStamp() const { return fileStamp_; }
  // Set when this copy itself has just loaded or written the data file.
  bool skipWatch() const { return skipWatch_; }
  // Whether this copy has loaded or written the data file since the last call: the change
  // watcher lets that tick pass, and asks again at the next.
  bool takeSkipWatch() { return std::exchange(skipWatch_, false); }

  // How long a save waits for another copy's save to end before it reports a failed write;
  // saves take well under a second.
  void setLockWaitMs(int ms) { lockWaitMs_ = ms; }
  // Told when a save starts and ends waiting for another copy (the window shows the hourglass).
  void setLockWaitObserver(std::function<void(bool waiting)> onLockWait) {
    onLockWait_ = std::move(onLockWait);
  }
  // Told of every change set applied (see ChangeListener); none: nobody is told. Not owned.
  void setChangeListener(ChangeListener* listener) { listener_ = listener; }

  const RecordTable& table() const;
  int rowCount() const { return table().rowCount(); }
  // How many lines of the file the last load read are no record (kept aside as they stand).
  int keptLineCount() const;

  struct LoadResult {
    bool limitReached = false;  // the table is full: "Maximum number of records reached!"
    // Why the file could not be read; empty when it was (or when there is no file yet).
    QString unreadable;
  };
  // Reads the data file, sorts its lines without regard to case, writes them to the work file
  // and loads them into the table. A missing or empty file loads as one blank record. Lines
  // that are no record, and records past the table's limit, are kept aside and written back
  // as they stand by every save; so is a record whose fields the table cannot hold whole.
  // A file that cannot be read loads as one blank record, and no save writes over it (nor a
  // backup from it) until a load succeeds.
  LoadResult SortFile();
  // Starts reading the data file beside the caller while the window is being built. The next
  // SortFile takes what was read when the file still holds exactly those bytes, and reads
  // it itself otherwise. Nothing is read ahead where the work file's folder is not there yet.
  void Preload();

  // Applies a change set to the data file in one write. Copies sharing the data file save one
  // at a time, under a lock file beside it. When the file is as this copy loaded it, it is
  // rewritten from the table with the set applied. When another copy saved in between, the
  // set is applied to the file as it is now instead, so that no copy's update is lost: added
  // lines are appended, removed lines removed where still there, and a replaced line whose
  // original the other copy changed or removed is added beside theirs. A line to take out
  // that stands more than once goes once. The listener is then told under the same lock.
  SaveResult Apply(const ChangeSet& changes);
  // Rewrites the data file with every row but selectedRow, then the appended line when given:
  // a set of one change (a replacement, a removal or an addition).
  SaveResult SaveRest(int selectedRow, const QString& appendedLine = {});
  // Rewrites the data file with every row, then the appended line when given (as SaveRest).
  SaveResult SaveAll(const QString& appendedLine = {});
  // Writes the table back to the data file unchanged (SaveAll), and takes the file's new time
  // as its own: this copy's rewrite is no other copy's change.
  SaveResult WriteBack();
  // Writes this copy's table as it stands to another file (a backup), whatever other copies
  // saved meanwhile; the data file and its lock are not touched.
  SaveResult WriteBackup(const QString& target);
  // Replaces the data file with a copy of source, under the same lock.
  SaveResult RestoreFrom(const QString& source);

  // Removes the temporary files of saves of the data file that a copy killed in the middle of
  // its save left beside it (named like "TAVELIN.FIL.aB3xYz"); nothing else. Done under the
  // lock, so that no other copy's save in progress loses its file; when another copy holds
  // the lock, they stay for the next start. Returns how many were removed.
  int RemoveStaleSaveFiles();

  QString BuildRecordLine(int row) const;

  // The lock file of a data file.
  static QString lockFilePath(const QString& dataFile) { return DataFileLock::pathOf(dataFile); }

  // The modification time of a file as fileStamp() holds it; empty when there is no such file.
  static QString fileStampOf(const QString& path);

 private:
  struct Preloaded;
  // Takes over the contents read ahead, when they still stand for the file.
  bool takePreloaded();
  // Starts loading what the writer holds, beside the caller, taking over its buffer; none
  // where a load would not read those bytes.
  std::unique_ptr<Preloaded> loadAhead();
  // Apply, where the wrappers already know the table row of the one line the set takes out.
  SaveResult apply(const ChangeSet& changes, int knownRow);
  // Writes the contents with the edits to path; marks the write as this copy's own.
  SaveResult write(const QString& path, const FileContents& contents,
                   const FileContents::Edits& edits);
  // Refuses to write over or from a file that could not be read; how, or nothing.
  std::optional<WriteError> refusal(const QString& target) const;

  QString dataFile_ = kDataFileName;
  QString fileStamp_;
  bool skipWatch_ = false;
  int lockWaitMs_ = 5000;
  std::function<void(bool waiting)> onLockWait_;
  ChangeListener* listener_ = nullptr;

  QString workFile_;
  std::unique_ptr<FileContents> contents_;
  QString unreadable_;  // why the last load could not read the file
  // What this copy's last save of the data file wrote when that save failed after the file
  // was replaced (the folder could not be synced): the user was told it failed, so a save of
  // the same change again must not find it "saved by another copy" and apply it twice.
  QByteArray unconfirmed_;
  // The bytes the last load read, kept unchanged until the next: a save tells by them whether
  // another copy saved in between, and copies from them the lines it writes unchanged. The
  // buffer is kept from one load to the next, so that a reload touches no new page.
  PageBuffer<char> readBuffer_;
  QByteArrayView loaded_;
  std::unique_ptr<Preloaded> preloaded_;
  LineWriter writer_;
};

}  // namespace tavelin
