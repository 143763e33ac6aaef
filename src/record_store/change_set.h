#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

#include "record_store/atomic_file.h"

namespace tavelin {

// What one save changes, as data-file lines without their ends: lines added, lines replaced
// and lines removed, in any number. A save applies the whole set at once (see
// RecordStore::Apply); the window's edits are sets of one change, an import is one set.
struct ChangeSet {
  struct Replacement {
    QString before;  // the line as this copy loaded it
    QString after;
    friend bool operator==(const Replacement&, const Replacement&) = default;
  };

  QStringList added;
  QList<Replacement> replaced;
  QStringList removed;

  bool isEmpty() const { return added.isEmpty() && replaced.isEmpty() && removed.isEmpty(); }
  friend bool operator==(const ChangeSet&, const ChangeSet&) = default;
};

// Told of every change set a save applied, as it was applied to the file (a replacement whose
// original was gone is an added line there; a removed line that was gone is left out).
// It is called after the write succeeded and while the data file's lock is still held: it
// may read and note, but it must not save, load or take the lock, and it must not throw.
class ChangeListener {
 public:
  virtual ~ChangeListener() = default;
  virtual void changesApplied(const ChangeSet& applied) = 0;
};

// How a save ended. It reads as its success: `if (!result)` is "the save failed", and then
// error() says which file and why. A failed save changed nothing.
class SaveResult {
 public:
  SaveResult() = default;
  SaveResult(WriteError error) : error_(std::move(error)) {}  // NOLINT: a failure converts
  static SaveResult from(std::optional<WriteError> error) {
    return error ? SaveResult(std::move(*error)) : SaveResult();
  }

  bool succeeded() const { return !error_; }
  bool failed() const { return error_.has_value(); }
  explicit operator bool() const { return succeeded(); }
  // Only for a failed save.
  const WriteError& error() const { return *error_; }

 private:
  std::optional<WriteError> error_;
};

}  // namespace tavelin
