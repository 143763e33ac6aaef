#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace tavelin::backup {

// The removable-disk folder stands in for drive A; the copy in its root keeps the data file's
// name.
inline const QString kDefaultFloppyFolder = QStringLiteral("/media/floppy0");
inline const QString kFloppyCopyName = QStringLiteral("TAVELIN.FIL");

// The copy on the removable disk, in the configured folder or the default one.
QString floppyCopyPath(const QString& configuredFolder);

// Opens the file for appending, which creates an empty file when there is none, and gives its
// length; nullopt when it cannot be opened so (no such folder, a write-protected disk).
std::optional<qint64> appendProbe(const QString& path);

// The length of a file that only has to be read: the append probe, or the length of an
// existing file that cannot be opened for appending; 0 when there is no such file.
qint64 readableLength(const QString& path);

// True when the file exists and its bytes can be read.
bool isReadableFile(const QString& path);

// The whole text of a file; empty when it cannot be read.
QString readTextFile(const QString& path);

// The ordinary files in the folder named "*.ATA" (no folders, hidden or special files).
int countAttachmentFiles(const QString& folder);

// The number of lines of a text.
int countLines(QStringView text);

// The number of lines that contain the search string, both sides in upper case.
int countHits(QStringView text, const QString& searchString);

}  // namespace tavelin::backup
