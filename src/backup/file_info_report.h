#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tavelin::backup {

// What the file-information report tells, in the order it is gathered. A count that does not
// apply (no backup, no search string) is 0, which is also how the verdict compares it.
struct FileInfoValues {
  int attachedFiles = 0;
  qint64 fileSize = 0;
  qint64 backupSize = 0;
  int backupRecords = 0;
  QString searchString;
  int fileHits = 0;
  int backupHits = 0;
  int fileRecords = 0;
  QString lastFileSave;
  QString backupTime;
  // Lines of the data file that are no record: the store keeps them as they stand, unseen.
  int keptLines = 0;
};

struct FileInfoReport {
  QString text;
  bool upToDate = false;  // sizes, record counts and search hits all agree
};

// The report's lines, separated by CR alone, with its verdict last; after it, only where the
// data file holds lines that are no record, how many.
FileInfoReport buildFileInfoReport(const FileInfoValues& values);

// The general date-and-time text: the locale's short date and the time to the second.
QString generalDateTime(const QDateTime& time, const QLocale& locale = QLocale());

// Gathers the report's values for the data file and the backup in the working directory.
// Taking the backup's length creates an empty backup when there is none, as every probe of the
// backup does; the data file is never created.
FileInfoValues gatherFileInfo(const QString& dataFile, const QString& searchString, int fileRecords,
                              const QLocale& locale = QLocale());

}  // namespace tavelin::backup
