#include "record_store/atomic_file.h"

#include <QFile>
#include <QSaveFile>

namespace tavelin {

std::optional<WriteError> writeFileAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return WriteError{path, file.errorString()};
  if (file.write(bytes) != bytes.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return WriteError{path, reason};
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
