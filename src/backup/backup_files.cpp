#include "backup/backup_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "record_store/text_codec.h"

namespace tavelin::backup {

QString floppyCopyPath(const QString& configuredFolder) {
  const QString folder = configuredFolder.isEmpty() ? kDefaultFloppyFolder : configuredFolder;
  return QDir(folder).filePath(kFloppyCopyName);
}

std::optional<qint64> appendProbe(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::Append)) return std::nullopt;
  return file.size();
}

qint64 readableLength(const QString& path) {
  if (const auto length = appendProbe(path)) return *length;
  // A read-only backup is still a backup.
  const QFileInfo info(path);
  return info.isFile() ? info.size() : 0;
}

bool isReadableFile(const QString& path) {
  QFile file(path);
  return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
}

QString readTextFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return decodeText(file.readAll());
}

int countAttachmentFiles(const QString& folder) {
  // QDir::Files leaves out folders, hidden files and (without QDir::System) special files.
  return static_cast<int>(
      QDir(folder, QStringLiteral("*.ATA"), QDir::NoSort, QDir::Files | QDir::CaseSensitive)
          .count());
}

int countLines(QStringView text) {
  return static_cast<int>(splitLines(text).size());
}

int countHits(QStringView text, const QString& searchString) {
  const QString wanted = searchString.toUpper();
  int hits = 0;
  for (QStringView line : splitLines(text)) {
    if (line.toString().toUpper().contains(wanted)) ++hits;
  }
  return hits;
}

}  // namespace tavelin::backup
