#include "record_store/record_store.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <latch>
#include <thread>

#include "record_store/file_contents.h"
#include "record_store/side_thread.h"

namespace tavelin {
namespace {

// Finds in the contents the lines the set takes out (each once, the first that stands there:
// a table row, else a kept line), and makes of the set what a rewrite leaves out and adds.
// knownRow, when not -1, is the table row of the set's only line to take out. What was
// applied goes to `applied`: a replacement whose original is not there is an addition, and a
// removed line that is not there is nothing.
FileContents::Edits locate(const FileContents& contents, const ChangeSet& changes, int knownRow,
                           ChangeSet& applied) {
  const qsizetype removedCount = changes.removed.size();
  const qsizetype outCount = removedCount + changes.replaced.size();
  const auto lineOut = [&changes, removedCount](qsizetype i) -> const QString& {
    return i < removedCount ? changes.removed[i] : changes.replaced[i - removedCount].before;
  };
  std::vector<int> rowOf(static_cast<size_t>(outCount), -1);
  std::vector<int> keptOf(static_cast<size_t>(outCount), -1);
  if (knownRow >= 0 && outCount == 1) {
    rowOf[0] = knownRow;
  } else if (outCount > 0) {
    QHash<QString, QList<qsizetype>> wanted;  // a line, and the entries still looking for it
    for (qsizetype i = 0; i < outCount; ++i) wanted[lineOut(i)].append(i);
    const auto take = [&wanted](const QString& line) -> qsizetype {
      const auto found = wanted.find(line);
      if (found == wanted.end()) return -1;
      const qsizetype entry = found->takeFirst();
      if (found->isEmpty()) wanted.erase(found);
      return entry;
    };
    // The blank row of a file without records is no record of it.
    const RecordTable& table = contents.table;
    for (int row = contents.placeholder ? 1 : 0; row < table.rowCount() && !wanted.isEmpty();
         ++row) {
      if (const qsizetype entry = take(contents.writtenLine(row)); entry >= 0) {
        rowOf[static_cast<size_t>(entry)] = row;
      }
    }
    for (int k = 0; k < contents.untabled.size() && !wanted.isEmpty(); ++k) {
      if (const qsizetype entry = take(contents.untabled[k]); entry >= 0) {
        keptOf[static_cast<size_t>(entry)] = k;
      }
    }
  }

  FileContents::Edits edits;
  for (size_t i = 0; i < rowOf.size(); ++i) {
    if (rowOf[i] >= 0) edits.skippedRows.push_back(rowOf[i]);
    if (keptOf[i] >= 0) edits.skippedKept.push_back(keptOf[i]);
  }
  std::sort(edits.skippedRows.begin(), edits.skippedRows.end());
  std::sort(edits.skippedKept.begin(), edits.skippedKept.end());

  const auto found = [&rowOf, &keptOf](qsizetype i) {
    return rowOf[static_cast<size_t>(i)] >= 0 || keptOf[static_cast<size_t>(i)] >= 0;
  };
  applied = {};
  for (qsizetype i = 0; i < removedCount; ++i) {
    if (found(i)) applied.removed << changes.removed[i];
  }
  applied.added = changes.added;
  for (qsizetype i = 0; i < changes.replaced.size(); ++i) {
    const ChangeSet::Replacement& replacement = changes.replaced[i];
    edits.appended << replacement.after;
    if (found(removedCount + i)) {
      applied.replaced << replacement;
    } else {
      applied.added << replacement.after;
    }
  }
  edits.appended << changes.added;
  return edits;
}

}  // namespace

QString RecordStore::fileStampOf(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return {};
  return info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A read of the data file made ahead of the first load, or a load of what a save writes made
// while the save syncs, on its own buffer and contents.
struct RecordStore::Preloaded {
  QString dataFile;
  PageBuffer<char> buffer;
  QByteArrayView bytes;
  FileContents contents;
  QString unreadable;  // why it could not be read or loaded; empty when it was
  // For a save's bytes: its work file waits for the save's outcome, and is written only when
  // the data file holds them.
  std::latch decided{1};
  bool saved = false;
  bool told = false;
  void decide(bool outcome) {
    if (std::exchange(told, true)) return;
    saved = outcome;
    decided.count_down();
  }
  // Never left waiting, whatever ended the save.
  ~Preloaded() { decide(false); }
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
  skipWatch_ = true;
  unconfirmed_.clear();
  if (takePreloaded()) {
    unreadable_.clear();
  } else {
    QByteArrayView bytes;
    unreadable_ = readDataFile(dataFile_, readBuffer_, bytes);
    if (!unreadable_.isEmpty()) bytes = {};
    loaded_ = bytes;
    const QString refused = loadContents(bytes, *contents_, workFile_);
    if (unreadable_.isEmpty()) unreadable_ = refused;
  }

  const QString stamp = fileStampOf(dataFile_);
  if (!stamp.isEmpty()) fileStamp_ = stamp;
  return {contents_->limitReached, unreadable_};
}

void RecordStore::Preload() {
  if (preloaded_ || !QFileInfo(QFileInfo(workFile_).path()).isDir()) return;
  preloaded_ = std::make_unique<Preloaded>();
  Preloaded* ahead = preloaded_.get();
  ahead->dataFile = dataFile_;
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
  if (ahead->dataFile != dataFile_ || !ahead->unreadable.isEmpty()) return false;
  // Another copy may have saved since; then this load is done again from the file.
  bool same = false;
  if (!compareDataFile(dataFile_, ahead->bytes, same).isEmpty() || !same) return false;
  // The contents refer to the buffer's bytes, which stay where they are as it is moved. The
  // buffer of the last load is the next save's: a save and a reload touch no fresh page.
  readBuffer_.swap(ahead->buffer);
  writer_.exchange(ahead->buffer);
  loaded_ = ahead->bytes;
  *contents_ = std::move(ahead->contents);
  return true;
}

std::unique_ptr<RecordStore::Preloaded> RecordStore::loadAhead() {
  const QByteArrayView bytes = writer_.written();
  if (startsWithWideMark(bytes)) return nullptr;  // the load reads none: never written
  auto ahead = std::make_unique<Preloaded>();
  ahead->dataFile = dataFile_;
  ahead->bytes = bytes;  // the bytes stay where they are as their buffer changes hands
  writer_.exchange(ahead->buffer);
  Preloaded* loading = ahead.get();
  ahead->reading = SideThread([loading, caller = std::this_thread::get_id(), workFile = workFile_] {
    // In the caller, where no other processor was free, the outcome is not known yet.
    const bool beside = std::this_thread::get_id() != caller;
    loading->unreadable =
        loadContents(loading->bytes, loading->contents, workFile, [loading, beside] {
          if (beside) loading->decided.wait();
          return beside && loading->saved;
        });
    if (!beside) loading->unreadable = QStringLiteral("loaded before the save");
  });
  return ahead;
}

std::optional<WriteError> RecordStore::refusal(const QString& target) const {
  // The table no longer stands for the file: writing it would replace what could not be read.
  if (unreadable_.isEmpty()) return std::nullopt;
  return WriteError{target,
                    QStringLiteral("%1 could not be read: %2").arg(kDataFileName, unreadable_)};
}

SaveResult RecordStore::Apply(const ChangeSet& changes) {
  return apply(changes, -1);
}

SaveResult RecordStore::apply(const ChangeSet& changes, int knownRow) {
  if (auto refused = refusal(dataFile_)) return *refused;

  // Other copies may share the file: the set is read, merged and written under the lock.
  DataFileLock lock(dataFile_);
  if (auto error = lock.take(lockWaitMs_, onLockWait_)) return *error;
  bool unchanged = false;
  if (QString reason = compareDataFile(dataFile_, loaded_, unchanged); !reason.isEmpty()) {
    return WriteError{dataFile_, reason};
  }
  if (!unchanged && !unconfirmed_.isEmpty()) {
    // Only this copy's own failed save changed the file: the table is still what it stands on.
    if (!compareDataFile(dataFile_, unconfirmed_, unchanged).isEmpty()) unchanged = false;
  }
  ChangeSet applied;
  SaveResult result;
  if (unchanged) {
    result = write(dataFile_, *contents_, locate(*contents_, changes, knownRow, applied));
  } else {
    // Another copy saved since this one loaded: apply the set to the file as it is now. A
    // line to take out is found by the line it was written as; one the other copy already
    // removed or changed is not there, and then nothing of theirs is removed.
    PageBuffer<char> buffer;
    QByteArrayView now;
    if (QString reason = readDataFile(dataFile_, buffer, now); !reason.isEmpty()) {
      return WriteError{dataFile_, reason};
    }
    FileContents theirs;
    if (!loadContents(now, theirs).isEmpty()) {
      return WriteError{dataFile_, QStringLiteral("it is no longer a text file")};
    }
    result = write(dataFile_, theirs, locate(theirs, changes, -1, applied));
  }
  if (result && listener_) listener_->changesApplied(applied);
  return result;
}

SaveResult RecordStore::write(const QString& path, const FileContents& contents,
                              const FileContents::Edits& edits) {
  writer_.restart();
  contents.write(writer_, edits);
  const QByteArrayView written = writer_.written();
  // The reload after a save that outgrows the table's text (an import) is loaded from the
  // save's bytes while they are synced, and taken while the file still holds them. A table
  // with the room is loaded again in place, which touches no fresh page.
  std::unique_ptr<Preloaded> ahead;
  if (path == dataFile_ && !contents_->table.hasTextRoom(written.size())) ahead = loadAhead();
  std::optional<WriteError> error = writeFileAtomically(path, written);
  if (ahead) ahead->decide(!error.has_value());
  if (error) {
    bool replaced = false;
    if (path == dataFile_ && compareDataFile(path, written, replaced).isEmpty() && replaced) {
      unconfirmed_ = QByteArray(written.data(), written.size());
    }
    return *error;
  }
  if (path == dataFile_) unconfirmed_.clear();
  if (ahead) preloaded_ = std::move(ahead);
  skipWatch_ = true;
  return {};
}

SaveResult RecordStore::SaveRest(int selectedRow, const QString& appendedLine) {
  ChangeSet changes;
  // The blank row of a file without records stands for no line.
  if (selectedRow < 0 || selectedRow >= rowCount() || contents_->placeholder) {
    if (!appendedLine.isNull()) changes.added << appendedLine;
    return apply(changes, -1);
  }
  const QString line = contents_->writtenLine(selectedRow);
  if (appendedLine.isNull()) {
    changes.removed << line;
  } else {
    changes.replaced << ChangeSet::Replacement{line, appendedLine};
  }
  return apply(changes, selectedRow);
}

SaveResult RecordStore::SaveAll(const QString& appendedLine) {
  return SaveRest(-1, appendedLine);
}

SaveResult RecordStore::WriteBack() {
  SaveResult result = SaveAll();
  if (result) fileStamp_ = fileStampOf(dataFile_);
  return result;
}

SaveResult RecordStore::WriteBackup(const QString& target) {
  if (auto refused = refusal(target)) return *refused;
  return write(target, *contents_, {});
}

SaveResult RecordStore::RestoreFrom(const QString& source) {
  DataFileLock lock(dataFile_);
  if (auto error = lock.take(lockWaitMs_, onLockWait_)) return *error;
  return SaveResult::from(copyFileAtomically(source, dataFile_));
}

int RecordStore::RemoveStaleSaveFiles() {
  DataFileLock lock(dataFile_);
  if (!lock.tryTake()) return 0;
  const QFileInfo data(dataFile_);
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
