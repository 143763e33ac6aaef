#include "record_store/record_store.h"

#include <QFileInfo>
#include <QLockFile>

#include "record_store/file_contents.h"

namespace tavelin {
namespace {

// A lock left by a copy that died on another machine (one on this machine is seen at once).
constexpr int kStaleLockMs = 30000;

RecordStore::Identity identityOf(const QString& reason, const QByteArray& bytes) {
  if (!reason.isEmpty()) return {};
  // Any seed but zero lets Qt use the processor's AES hash where there is one.
  constexpr size_t kSeed = 0x9e3779b9;
  return {true, bytes.size(),
          qHashBits(bytes.constData(), static_cast<size_t>(bytes.size()), kSeed)};
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

RecordStore::RecordStore(QString workFile)
    : workFile_(std::move(workFile)), contents_(std::make_unique<FileContents>()) {}

RecordStore::~RecordStore() = default;

const RecordTable& RecordStore::table() const {
  return contents_->table;
}

QString RecordStore::BuildRecordLine(int row) const {
  return contents_->table.BuildRecordLine(row);
}

RecordStore::LoadResult RecordStore::SortFile() {
  SkipWatch = true;
  QByteArray bytes;
  unreadable_ = readDataFile(DataFile, bytes);
  loadedFrom_ = DataFile;
  loaded_ = identityOf(unreadable_, bytes);
  if (!unreadable_.isEmpty()) bytes.clear();
  const QString refused = loadContents(std::move(bytes), *contents_, workFile_);
  if (unreadable_.isEmpty()) unreadable_ = refused;

  const QString stamp = fileStampOf(kDataFileName);
  if (!stamp.isEmpty()) FileStamp = stamp;
  return {contents_->limitReached, unreadable_};
}

std::optional<WriteError> RecordStore::save(int skippedRow, const QString& appendedLine) {
  // The table no longer stands for the file: writing it would replace what could not be read.
  if (!unreadable_.isEmpty()) {
    return WriteError{DataFile,
                      QStringLiteral("%1 could not be read: %2").arg(kDataFileName, unreadable_)};
  }
  // A backup is this copy's table as it stands, for this copy alone.
  if (DataFile != loadedFrom_) return finishSave(contents_->write(skippedRow, appendedLine));

  // Other copies may share the file: the change is read, merged and written under the lock.
  QLockFile lock(lockFilePath(DataFile));
  lock.setStaleLockTime(kStaleLockMs);
  if (!lock.tryLock(lockWaitMs)) {
    return WriteError{DataFile, QStringLiteral("another copy of Tavelin holds the lock file %1")
                                    .arg(lockFilePath(DataFile))};
  }
  QByteArray now;
  const QString reason = readDataFile(DataFile, now);
  if (!reason.isEmpty()) return WriteError{DataFile, reason};
  if (identityOf(reason, now) == loaded_) {
    return finishSave(contents_->write(skippedRow, appendedLine));
  }

  // Another copy saved since this one loaded: apply this copy's one change to the file as it
  // is now. The row left out is found by the line it was written as; a row the other copy
  // already removed or changed is not there, and then nothing of theirs is removed.
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
  return finishSave(theirs.write(theirRow, appendedLine));
}

std::optional<WriteError> RecordStore::finishSave(const QByteArray& bytes) {
  if (auto error = writeFileAtomically(DataFile, bytes)) return error;
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
  lock.setStaleLockTime(kStaleLockMs);
  if (!lock.tryLock(lockWaitMs)) {
    return WriteError{kDataFileName,
                      QStringLiteral("another copy of Tavelin holds the lock file %1")
                          .arg(lockFilePath(kDataFileName))};
  }
  return copyFileAtomically(source, kDataFileName);
}

}  // namespace tavelin
