#include "sync/password_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace tavelin::sync {

namespace {

// Far more than any password; a larger file is not a password file.
constexpr qint64 kMaxBytes = 4096;

PasswordFileRead refused(const QString& path, const QString& reason) {
  return {std::nullopt, path + QStringLiteral(": ") + reason};
}

}  // namespace

PasswordFileRead readPasswordFile(const QString& path) {
  // Checked on the open file itself, so that nothing can be swapped in between; without
  // O_NONBLOCK a FIFO would hang the open.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return refused(path, QStringLiteral("the password file could not be opened (%1)")
                             .arg(QString::fromLocal8Bit(std::strerror(errno))));
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return refused(path, QStringLiteral("the password file is not a regular file"));
  }
  if (info.st_uid != ::geteuid()) {
    return refused(path, QStringLiteral("the password file belongs to another user"));
  }
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 || (info.st_mode & S_IRUSR) == 0) {
    return refused(path, QStringLiteral("the password file must be readable by its owner alone "
                                        "(chmod 600)"));
  }
  if (info.st_size > kMaxBytes) {
    return refused(path, QStringLiteral("the password file is too large to hold a password"));
  }
  QByteArray bytes(kMaxBytes + 1, Qt::Uninitialized);
  qint64 total = 0;
  while (total < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + total, size_t(bytes.size() - total));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      return refused(path, QStringLiteral("the password file could not be read (%1)")
                               .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (n == 0) break;
    total += n;
  }
  if (total > kMaxBytes) {
    return refused(path, QStringLiteral("the password file is too large to hold a password"));
  }
  bytes.truncate(total);
  if (bytes.endsWith("\r\n")) {
    bytes.chop(2);
  } else if (bytes.endsWith('\n')) {
    bytes.chop(1);
  }
  if (bytes.isEmpty()) return refused(path, QStringLiteral("the password file is empty"));
  return {QString::fromUtf8(bytes), {}};
}

}  // namespace tavelin::sync
