#include "record_store/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace tavelin {
namespace {

FileSystemFaults* installedFaults = nullptr;

std::optional<QString> injectedFault(WriteStep step, const QString& path) {
  if (!installedFaults) return std::nullopt;
  return installedFaults->fault(step, path);
}

// The folder a file is renamed into, open for its sync. A rename is a change of the folder,
// and only a sync of the folder makes it last: without it a power cut can bring back the old
// file, whole, after the program said the new one was saved.
class Folder {
 public:
  explicit Folder(const QString& file)
      : path_(QFileInfo(file).absolutePath()),
        fd_(::open(QFile::encodeName(path_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) error_ = qt_error_string(errno);
  }
  ~Folder() {
    if (fd_ >= 0) ::close(fd_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // Why it cannot be synced; empty when it can.
  QString openError() const {
    return error_.isEmpty()
               ? QString()
               : QStringLiteral("the folder %1 cannot be opened: %2").arg(path_, error_);
  }
  // Why the sync failed; empty when it succeeded. A file system that cannot sync a folder
  // (EINVAL, EOPNOTSUPP) leaves nothing more to do: failing there would fail every save.
  QString sync() const {
    if (::fsync(fd_) == 0 || errno == EINVAL || errno == EOPNOTSUPP) return {};
    return qt_error_string(errno);
  }

 private:
  QString path_;
  int fd_;
  QString error_;
};

}  // namespace

void FileSystemFaults::install(FileSystemFaults* faults) {
  installedFaults = faults;
}

std::optional<WriteError> writeFileAtomically(const QString& path, QByteArrayView bytes) {
  if (auto reason = injectedFault(WriteStep::Open, path)) return WriteError{path, *reason};
  QSaveFile file(path);
  // Unbuffered, so that a write cut short (disk full, file size limit) shows as a short count
  // here; through the buffer Qt commits the shortened file as if all was well.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    return WriteError{path, file.errorString()};
  }
  const auto failed = [&file, &path](const QString& reason) {
    file.cancelWriting();
    return WriteError{path, reason};
  };
  // A short write says nothing of its reason; the next write of the rest fails with it
  // ("No space left on device").
  qsizetype written = 0;
  while (written < bytes.size()) {
    if (auto reason = injectedFault(WriteStep::Write, path)) return failed(*reason);
    const qint64 n = file.write(bytes.data() + written, bytes.size() - written);
    if (n <= 0) return failed(file.errorString());
    written += n;
  }
  if (auto reason = injectedFault(WriteStep::Flush, path)) return failed(*reason);
  if (!file.flush()) return failed(file.errorString());
  // Opened before the rename, so that a folder that cannot be synced changes nothing.
  const Folder folder(path);
  if (QString reason = folder.openError(); !reason.isEmpty()) return failed(reason);
  // commit() syncs the file to disk, then renames it over the old one.
  for (const WriteStep step : {WriteStep::Sync, WriteStep::Rename}) {
    if (auto reason = injectedFault(step, path)) return failed(*reason);
  }
  if (!file.commit()) return WriteError{path, file.errorString()};
  if (auto reason = injectedFault(WriteStep::FolderSync, path)) return WriteError{path, *reason};
  if (QString reason = folder.sync(); !reason.isEmpty()) return WriteError{path, reason};
  return std::nullopt;
}

std::optional<WriteError> copyFileAtomically(const QString& source, const QString& target) {
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) return WriteError{source, in.errorString()};
  const QByteArray bytes = in.readAll();
  if (in.error() != QFileDevice::NoError) return WriteError{source, in.errorString()};
  return writeFileAtomically(target, bytes);
}

}  // namespace tavelin
