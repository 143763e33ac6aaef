#include "record_store/atomic_file.h"

#include <QFile>
#include <QSaveFile>

namespace tavelin {

std::optional<WriteError> writeFileAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  // Unbuffered, so that a write cut short (disk full, file size limit) shows as a short count
  // here; through the buffer Qt commits the shortened file as if all was well.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    return WriteError{path, file.errorString()};
  }
  // A short write says nothing of its reason; the next write of the rest fails with it
  // ("No space left on device").
  qsizetype written = 0;
  while (written < bytes.size()) {
    const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
    if (n <= 0) {
      const QString reason = file.errorString();
      file.cancelWriting();
      return WriteError{path, reason};
    }
    written += n;
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
