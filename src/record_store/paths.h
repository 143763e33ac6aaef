#pragma once

#include <QString>

namespace tavelin {

// Files named without a folder live in the working directory.
inline const QString kDataFileName = QStringLiteral("TAVELIN.FIL");
inline const QString kBackupFileName = QStringLiteral("TAVELIN.BAK");

// The fixed folder below the per-user configuration folder, and its files.
inline QString fixedFolder(const QString& configRoot) {
  return configRoot + QStringLiteral("/malvek/tavelin");
}
inline QString optionsFilePath(const QString& configRoot) {
  return fixedFolder(configRoot) + QStringLiteral("/tavelin.opt");
}
inline QString workFilePath(const QString& configRoot) {
  return fixedFolder(configRoot) + QStringLiteral("/workfile.tmp");
}

}  // namespace tavelin
