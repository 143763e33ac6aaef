#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tavelin {

// A file write that failed: which file, and the system's reason.
struct WriteError {
  QString fileName;
  QString reason;
};

// Replaces the file with exactly these bytes, or leaves it as it was: the bytes go to a
// temporary file in the same folder, which then takes the old file's place.
std::optional<WriteError> writeFileAtomically(const QString& path, const QByteArray& bytes);

// Replaces target with a copy of source in the same way.
std::optional<WriteError> copyFileAtomically(const QString& source, const QString& target);

}  // namespace tavelin
