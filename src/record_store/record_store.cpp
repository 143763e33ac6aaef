#include "record_store/record_store.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <algorithm>

#include "record_store/file_contents.h"
#include "record_store/side_thread.h"

namespace tavelin {
namespace {

// A lock left by a copy that died on another machine (one on this machine is seen at once).
constexpr int kStaleLockMs = 30000;

// A copy writes its process id and host into the lock file as soon as it has created it; one
// that holds no such name (empty, or cut short) and is older than this was left by a copy
// killed in between, and QLockFile cannot tell that it is stale.
constexpr qint64 kNamelessLockMs = 1000;

bool isAbandonedNamelessLock(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile() ||
      info.lastModified().msecsTo(QDateTime::currentDateTime()) < kNamelessLockMs) {
    return false;
  }
  qint64 pid = 0;
  QString host, application;
  return !QLockFile(path).getLockInfo(&pid, &host, &application);
}

void removeAbandonedNamelessLock(const QString& path) {
  if (!isAbandonedNamelessLock(path)) return;
  // As QLockFile does for its stale locks: one copy at a time removes it, after a fresh look.
  QLockFile removing(path + QStringLiteral(".rmlock"));
  if (!removing.tryLock(0)) return;
  if (isAbandonedNamelessLock(path)) QFile::remove(path);
}

// QLockFile clears a stale lock under a lock of its own, and a stale one of those under
// another, so copies killed in turn can leave a chain of them; any of them can be nameless,
// and that one holds up all above it. They are cleared from the deepest up.
void removeAbandonedNamelessLocks(const QString& lockPath) {
  constexpr int kDeepest = 16;
  QStringList chain;
  for (QString path = lockPath; chain.size() < kDeepest && QFileInfo::exists(path);
       path += QStringLiteral(".rmlock")) {
    chain << path;
  }
  for (auto level = chain.crbegin(); level != chain.crend(); ++level) {
    removeAbandonedNamelessLock(*level);
  }
}

// Takes the lock file of a data file within waitMs. QLockFile takes over at once a lock of a
// copy that died on this machine, but not one without a readable name (the copy was killed
// before it had written it): that is taken over once it is older than a live copy's could be.
bool takeLock(QLockFile& lock, int waitMs) {
  lock.setStaleLockTime(kStaleLockMs);
  const QDeadlineTimer deadline(waitMs);
  for (;;) {
    if (lock.tryLock(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 250)))) {
      return true;
    }
    if (lock.error() != QLockFile::LockFailedError) return false;
    removeAbandonedNamelessLocks(lock.fileName());
    if (deadline.hasExpired()) return lock.tryLock(0);
  }
}

// Why the lock was not taken: another copy's save, or a folder where it cannot be made (then
// no save could be written there either).
WriteError lockFailure(const QLockFile& lock, const QString& dataFile) {
  const QString path = lock.fileName();
  switch (lock.error()) {
    case QLockFile::LockFailedError:
      return {dataFile, QStringLiteral("another copy of Tavelin holds the lock file %1").arg(path)};
    case QLockFile::PermissionError:
      return {dataFile, QStringLiteral("no permission to create the lock file %1").arg(path)};
    default:
      return {dataFile, QStringLiteral("the lock file %1 could not be created").arg(path)};
  }
}

}  // namespace

QString RecordStore::fileStampOf(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return {};
  return info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString RecordStore::lockFilePath(const QString& dataFile) {
  return dataFile + QStringLiteral(".lock");
}

// A read of the data file made ahead of the first load, on its own buffer and contents.
struct RecordStore::Preloaded {
  QString dataFile;
  PageBuffer<char> buffer;
  QByteArrayView bytes;
  FileContents contents;
  QString unreadable;  // why it could not be read or loaded; empty when it was
  SideThread reading;  // last: joined before the rest goes
};

RecordStore::RecordStore(QString workFile)
    : workFile_(std::move(workFile)), contents_(std::make_unique<FileContents>()) {}

RecordStore::~RecordStore() = default;

const RecordTable& RecordStore::table() const {
  return contents_->table;
}

int RecordStore::keptLineCount() const {
  return contents_->keptLines;
}

QString RecordStore::BuildRecordLine(int row) const {
  return contents_->table.BuildRecordLine(row);
}

RecordStore::LoadResult RecordStore::SortFile() {
  SkipWatch = true;
  if (takePreloaded()) {
    unreadable_.clear();
  } else {
    QByteArrayView bytes;
    unreadable_ = readDataFile(DataFile, readBuffer_, bytes);
    if (!unreadable_.isEmpty()) bytes = {};
    loaded_ = bytes;
    const QString refused = loadContents(bytes, *contents_, workFile_);
    if (unreadable_.isEmpty()) unreadable_ = refused;
  }
  loadedFrom_ = DataFile;

  const QString stamp = fileStampOf(kDataFileName);
  if (!stamp.isEmpty()) FileStamp = stamp;
  return {contents_->limitReached, unreadable_};
}

void RecordStore::Preload() {
  if (preloaded_ || !QFileInfo(QFileInfo(workFile_).path()).isDir()) return;
  preloaded_ = std::make_unique<Preloaded>();
  Preloaded* ahead = preloaded_.get();
  ahead->dataFile = DataFile;
  ahead->reading = SideThread([ahead, workFile = workFile_] {
    ahead->unreadable = readDataFile(ahead->dataFile, ahead->buffer, ahead->bytes);
    if (ahead->unreadable.isEmpty()) {
      ahead->unreadable = loadContents(ahead->bytes, ahead->contents, workFile);
    }
  });
}

bool RecordStore::takePreloaded() {
  if (!preloaded_) return false;
  const std::unique_ptr<Preloaded> ahead = std::move(preloaded_);
  ahead->reading.join();
  if (ahead->dataFile != DataFile || !ahead->unreadable.isEmpty()) return false;
  // Another copy may have saved since; then this load is done again from the file.
  bool same = false;
  if (!compareDataFile(DataFile, ahead->bytes, same).isEmpty() || !same) return false;
  // The contents refer to the buffer's bytes, which stay where they are as it is moved.
  readBuffer_ = std::move(ahead->buffer);
  loaded_ = ahead->bytes;
  *contents_ = std::move(ahead->contents);
  return true;
}

std::optional<WriteError> RecordStore::save(int skippedRow, const QString& appendedLine) {
  // The table no longer stands for the file: writing it would replace what could not be read.
  if (!unreadable_.isEmpty()) {
    return WriteError{DataFile,
                      QStringLiteral("%1 could not be read: %2").arg(kDataFileName, unreadable_)};
  }
  // A backup is this copy's table as it stands, for this copy alone.
  if (DataFile != loadedFrom_) return finishSave(skippedRow, appendedLine, *contents_);

  // Other copies may share the file: the change is read, merged and written under the lock.
  QLockFile lock(lockFilePath(DataFile));
  if (auto error = lockDataFile(lock, DataFile)) return error;
  bool unchanged = false;
  if (QString reason = compareDataFile(DataFile, loaded_, unchanged); !reason.isEmpty()) {
    return WriteError{DataFile, reason};
  }
  if (unchanged) return finishSave(skippedRow, appendedLine, *contents_);

  // Another copy saved since this one loaded: apply this copy's one change to the file as it
  // is now. The row left out is found by the line it was written as; a row the other copy
  // already removed or changed is not there, and then nothing of theirs is removed.
  PageBuffer<char> buffer;
  QByteArrayView now;
  if (QString reason = readDataFile(DataFile, buffer, now); !reason.isEmpty()) {
    return WriteError{DataFile, reason};
  }
  FileContents theirs;
  if (!loadContents(now, theirs).isEmpty()) {
    return WriteError{DataFile, QStringLiteral("it is no longer a text file")};
  }
  int theirRow = -1;
  if (skippedRow >= 0 && skippedRow < rowCount() && !contents_->placeholder) {
    const QString mine = contents_->writtenLine(skippedRow);
    for (int row = 0; row < theirs.table.rowCount() && theirRow < 0; ++row) {
      if (theirs.writtenLine(row) == mine) theirRow = row;
    }
    if (theirRow < 0) theirs.untabled.removeOne(mine);
  }
  return finishSave(theirRow, appendedLine, theirs);
}

std::optional<WriteError> RecordStore::lockDataFile(QLockFile& lock, const QString& dataFile) {
  if (takeLock(lock, 0)) return std::nullopt;
  if (lock.error() != QLockFile::LockFailedError) return lockFailure(lock, dataFile);
  if (onLockWait) onLockWait(true);
  const bool taken = takeLock(lock, lockWaitMs);
  if (onLockWait) onLockWait(false);
  if (taken) return std::nullopt;
  return lockFailure(lock, dataFile);
}

std::optional<WriteError> RecordStore::finishSave(int skippedRow, const QString& appendedLine,
                                                  const FileContents& contents) {
  writer_.restart();
  contents.write(writer_, skippedRow, appendedLine);
  if (auto error = writeFileAtomically(DataFile, writer_.written())) return error;
  SkipWatch = true;
  return std::nullopt;
}

std::optional<WriteError> RecordStore::SaveRest(int selectedRow, const QString& appendedLine) {
  return save(selectedRow, appendedLine);
}

std::optional<WriteError> RecordStore::SaveAll(const QString& appendedLine) {
  return save(-1, appendedLine);
}

std::optional<WriteError> RecordStore::RestoreFrom(const QString& source) {
  QLockFile lock(lockFilePath(kDataFileName));
  if (auto error = lockDataFile(lock, kDataFileName)) return error;
  return copyFileAtomically(source, kDataFileName);
}

int RecordStore::RemoveStaleSaveFiles() {
  QLockFile lock(lockFilePath(DataFile));
  if (!takeLock(lock, 0)) return 0;
  const QFileInfo data(DataFile);
  // The atomic writer's temporary names: the file's name, a dot and six letters or digits.
  const QRegularExpression temporary(QRegularExpression::anchoredPattern(
      QRegularExpression::escape(data.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
  QDir folder = data.absoluteDir();
  int removed = 0;
  const QStringList candidates =
      folder.entryList({data.fileName() + QStringLiteral(".??????")},
                       QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
  for (const QString& name : candidates) {
    if (temporary.match(name).hasMatch() && QFileInfo(folder.filePath(name)).isFile() &&
        folder.remove(name)) {
      ++removed;
    }
  }
  return removed;
}

}  // namespace tavelin
