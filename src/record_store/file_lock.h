#pragma once

#include <QLockFile>
#include <QString>
#include <functional>
#include <optional>

#include "record_store/atomic_file.h"

namespace tavelin {

// The lock file beside a data file, under which copies sharing the file save one at a time.
// A lock left by a copy that died is taken over: at once when it names a dead process of this
// machine, after a second when it names none (the copy was killed before writing its name),
// after 30 seconds when it names another machine's process. So are the removal locks
// (".rmlock", ".rmlock.rmlock" ...) that copies killed while clearing a lock leave behind.
class DataFileLock {
 public:
  explicit DataFileLock(const QString& dataFile);

  // The lock file of a data file.
  static QString pathOf(const QString& dataFile);

  // Takes the lock at once, or else waits for it up to waitMs, telling onWait (when given)
  // that the wait starts and ends. Why it was not taken: another copy holds it, or the lock
  // file cannot be made (then no save could be written there either).
  std::optional<WriteError> take(int waitMs, const std::function<void(bool waiting)>& onWait);
  // Takes the lock when no live copy holds it, without waiting.
  bool tryTake();

 private:
  QString dataFile_;
  QLockFile lock_;
};

}  // namespace tavelin
