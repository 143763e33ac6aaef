#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "record_store/atomic_file.h"
#include "record_store/page_buffer.h"
#include "record_store/paths.h"
#include "record_store/record_table.h"
#include "record_store/text_codec.h"

class QLockFile;

namespace tavelin {

struct FileContents;

// The data file and its in-memory table. Every change rewrites the whole file and loads it
// again; row i of the table is row i of the name list.
class RecordStore {
 public:
  explicit RecordStore(QString workFile);
  ~RecordStore();

  // The file SortFile reads and the writers write, relative to the working directory.
  QString DataFile = kDataFileName;
  // The data file's modification time at the last load, to the second; empty until known.
  QString FileStamp;
  // Set when the program itself has just loaded or written the data file.
  bool SkipWatch = false;
  // How long a save waits for another copy's save to end before it reports a failed write;
  // saves take well under a second.
  int lockWaitMs = 5000;
  // Told when a save starts and ends waiting for another copy (the window shows the hourglass).
  std::function<void(bool waiting)> onLockWait;

  const RecordTable& table() const;
  int rowCount() const { return table().rowCount(); }
  // How many lines of the file the last load read are no record (kept aside as they stand).
  int keptLineCount() const;

  struct LoadResult {
    bool limitReached = false;  // the table is full: "Maximum number of records reached!"
    // Why the file could not be read; empty when it was (or when there is no file yet).
    QString unreadable;
  };
  // Reads DataFile, sorts its lines without regard to case, writes them to the work file and
  // loads them into the table. A missing or empty file loads as one blank record. Lines that
  // are no record, and records past the table's limit, are kept aside and written back as
  // they stand by every save; so is a record whose fields the table cannot hold whole.
  // A file that cannot be read loads as one blank record, and no save writes over it (nor a
  // backup from it) until a load succeeds.
  LoadResult SortFile();
  // Starts reading DataFile beside the caller while the window is being built. The next
  // SortFile takes what was read when the file still holds exactly those bytes, and reads
  // it itself otherwise. Nothing is read ahead where the work file's folder is not there yet.
  void Preload();

  // Rewrites DataFile with every row but selectedRow, then the appended line when given.
  // Copies sharing the data file save one at a time, under a lock file beside it; when
  // another copy saved since this one loaded, this copy's one change (the row left out, the
  // line appended) is applied to the file as it is now instead, so that no copy's update is
  // lost.
  std::optional<WriteError> SaveRest(int selectedRow, const QString& appendedLine = {});
  // Rewrites DataFile with every row, then the appended line when given (as SaveRest).
  std::optional<WriteError> SaveAll(const QString& appendedLine = {});
  // Replaces the data file with a copy of source, under the same lock.
  std::optional<WriteError> RestoreFrom(const QString& source);

  // Removes the temporary files of saves of DataFile that a copy killed in the middle of
  // its save left beside it (named like "TAVELIN.FIL.aB3xYz"); nothing else. Done under the
  // lock, so that no other copy's save in progress loses its file; when another copy holds
  // the lock, they stay for the next start. Returns how many were removed.
  int RemoveStaleSaveFiles();

  QString BuildRecordLine(int row) const;

  // The lock file of a data file.
  static QString lockFilePath(const QString& dataFile);

  // The modification time of a file as FileStamp holds it; empty when there is no such file.
  static QString fileStampOf(const QString& path);

 private:
  struct Preloaded;
  // Takes over the contents read ahead, when they still stand for the file.
  bool takePreloaded();
  std::optional<WriteError> save(int skippedRow, const QString& appendedLine);
  std::optional<WriteError> lockDataFile(QLockFile& lock, const QString& dataFile);
  std::optional<WriteError> finishSave(int skippedRow, const QString& appendedLine,
                                       const FileContents& contents);

  QString workFile_;
  std::unique_ptr<FileContents> contents_;
  QString unreadable_;  // why the last load could not read the file
  QString loadedFrom_;  // the file the last load read
  // The bytes the last load read, kept unchanged until the next: a save tells by them whether
  // another copy saved in between, and copies from them the lines it writes unchanged. The
  // buffer is kept from one load to the next, so that a reload touches no new page.
  PageBuffer<char> readBuffer_;
  QByteArrayView loaded_;
  std::unique_ptr<Preloaded> preloaded_;
  LineWriter writer_;
};

}  // namespace tavelin
