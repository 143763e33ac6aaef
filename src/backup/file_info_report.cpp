#include "backup/file_info_report.h"

#include <QDir>
#include <QFileInfo>

#include "backup/backup_files.h"
#include "record_store/paths.h"

namespace tavelin::backup {
namespace {

constexpr QChar kCr = u'\r';
constexpr QChar kTab = u'\t';
constexpr int kShownSearchLength = 20;

QString modificationText(const QString& path, const QLocale& locale) {
  const QFileInfo info(path);
  return info.exists() ? generalDateTime(info.lastModified(), locale) : QString();
}

}  // namespace

FileInfoReport buildFileInfoReport(const FileInfoValues& v) {
  QString t;
  t += u"Attached files:" + kTab + QString::number(v.attachedFiles) + kCr + kCr;
  if (!v.searchString.isEmpty()) {
    t += u"Search string:" + kTab + v.searchString.left(kShownSearchLength);
    t += kCr + u"Found in:" + kTab + kTab + QString::number(v.fileHits) + u" File Records" + kCr;
    if (v.backupRecords != 0) {
      t += u"Found in:" + kTab + kTab + QString::number(v.backupHits) + u" Backup Records" + kCr +
           kCr;
    }
  }
  t += u"File records:" + kTab + QString::number(v.fileRecords) + u" records" + kCr;
  t += u"File size:" + kTab + kTab + QString::number(v.fileSize) + u" bytes" + kCr;
  t += u"Last file save:" + kTab + v.lastFileSave + kCr + kCr;
  if (v.backupSize != 0) {
    t += u"Backup records:" + kTab + QString::number(v.backupRecords) + u" records" + kCr;
    t += u"Backup size:" + kTab + QString::number(v.backupSize) + u" bytes" + kCr;
    t += u"Backup time:" + kTab + v.backupTime + kCr;
  }

  const bool upToDate =
      v.fileSize == v.backupSize && v.fileRecords == v.backupRecords && v.fileHits == v.backupHits;
  t += kCr;
  t += upToDate ? QStringLiteral("The backup appears to be up-to-date.")
                : QStringLiteral("WARNING: Backup does NOT match file!");
  // Such lines are nowhere else to be seen: this is how the user learns they are there.
  if (v.keptLines == 1) {
    t += kCr +
         QStringLiteral("1 line of %1 is no contact; it is kept as it stands.").arg(kDataFileName);
  } else if (v.keptLines > 1) {
    t += kCr + QStringLiteral("%1 lines of %2 are no contacts; they are kept as they stand.")
                   .arg(v.keptLines)
                   .arg(kDataFileName);
  }
  return {t, upToDate};
}

QString generalDateTime(const QDateTime& time, const QLocale& locale) {
  // The locale's short time format, with the seconds added where it leaves them out.
  QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  if (!timeFormat.contains(QLatin1Char('s'))) {
    timeFormat.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
  }
  return locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(time.time(), timeFormat);
}

FileInfoValues gatherFileInfo(const QString& dataFile, const QString& searchString, int fileRecords,
                              const QLocale& locale) {
  FileInfoValues v;
  v.attachedFiles = countAttachmentFiles(QDir::currentPath());

  // The report only reads the data file: a probe that created it would look like another
  // user's change to the change watcher.
  const QFileInfo dataInfo(dataFile);
  v.fileSize = dataInfo.isFile() ? dataInfo.size() : 0;
  v.backupSize = readableLength(kBackupFileName);

  QString backupText;
  if (v.backupSize != 0) {
    backupText = readTextFile(kBackupFileName);
    v.backupRecords = countLines(backupText);
  }
  v.searchString = searchString;
  if (!searchString.isEmpty()) {
    v.fileHits = countHits(readTextFile(dataFile), searchString);
    if (v.backupRecords != 0) v.backupHits = countHits(backupText, searchString);
  }
  v.fileRecords = fileRecords;
  v.lastFileSave = modificationText(dataFile, locale);
  v.backupTime = modificationText(kBackupFileName, locale);
  return v;
}

}  // namespace tavelin::backup
