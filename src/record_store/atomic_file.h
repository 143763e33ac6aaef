#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tavelin {

// A file write that failed: which file, and the system's reason.
struct WriteError {
  QString fileName;
  QString reason;
};

// Replaces the file with exactly these bytes, or leaves it as it was: the bytes go to a
// temporary file in the same folder, synced to disk, which then takes the old file's place;
// the folder is synced after that, so that the new name survives a power cut too. A folder
// that cannot be synced is reported after the file was replaced: it then holds the new bytes,
// but they may not last.
std::optional<WriteError> writeFileAtomically(const QString& path, QByteArrayView bytes);

// Replaces target with a copy of source in the same way.
std::optional<WriteError> copyFileAtomically(const QString& source, const QString& target);

// The steps of an atomic write, in the order they are taken.
enum class WriteStep { Open, Write, Flush, Sync, Rename, FolderSync };

// Lets a test make any step of any atomic write fail, as a broken disk would; the program
// never installs one. Consulted before each step: a reason fails the step with it.
class FileSystemFaults {
 public:
  virtual ~FileSystemFaults() = default;
  virtual std::optional<QString> fault(WriteStep step, const QString& path) = 0;

  // Installs faults for every following write (none: writes run as they are); not owned.
  static void install(FileSystemFaults* faults);
};

}  // namespace tavelin
