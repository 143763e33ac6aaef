#include "record_store/file_lock.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

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

// Takes the lock file within waitMs. QLockFile takes over at once a lock of a copy that died
// on this machine, but not one without a readable name (the copy was killed before it had
// written it): that is taken over once it is older than a live copy's could be.
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

// Why the lock was not taken.
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

DataFileLock::DataFileLock(const QString& dataFile)
    : dataFile_(dataFile), lock_(pathOf(dataFile)) {}

QString DataFileLock::pathOf(const QString& dataFile) {
  return dataFile + QStringLiteral(".lock");
}

std::optional<WriteError> DataFileLock::take(int waitMs,
                                             const std::function<void(bool waiting)>& onWait) {
  if (takeLock(lock_, 0)) return std::nullopt;
  if (lock_.error() != QLockFile::LockFailedError) return lockFailure(lock_, dataFile_);
  if (onWait) onWait(true);
  const bool taken = takeLock(lock_, waitMs);
  if (onWait) onWait(false);
  if (taken) return std::nullopt;
  return lockFailure(lock_, dataFile_);
}

bool DataFileLock::tryTake() {
  return takeLock(lock_, 0);
}

}  // namespace tavelin
