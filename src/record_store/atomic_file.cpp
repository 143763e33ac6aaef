#include "record_store/atomic_file.h"

#include <QFile>
#include <QSaveFile>

namespace tavelin {
namespace {

FileSystemFaults* installedFaults = nullptr;

std::optional<QString> injectedFault(WriteStep step, const QString& path) {
  if (!installedFaults) return std::nullopt;
  return installedFaults->fault(step, path);
}

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
  // commit() syncs the file to disk, then renames it over the old one.
  for (const WriteStep step : {WriteStep::Sync, WriteStep::Rename}) {
    if (auto reason = injectedFault(step, path)) return failed(*reason);
  }
  if (!file.commit()) return WriteError{path, file.errorString()};
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
