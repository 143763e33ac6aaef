#include <QDir>
#include <QFileInfo>
#include <QTest>

#include "backup/backup_files.h"
#include "backup/file_info_report.h"
#include "record_store/paths.h"
#include "support/test_env.h"

using namespace tavelin;
using backup::FileInfoValues;

class FileInfoReportTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void reportText();
  void verdict();
  void generalDateTime();
  void gatheredFromFiles();
  void probesAndRemovableDisk();
};

namespace {

FileInfoValues matching() {
  FileInfoValues v;
  v.attachedFiles = 5;
  v.fileSize = 120;
  v.backupSize = 120;
  v.backupRecords = 3;
  v.fileRecords = 3;
  v.lastFileSave = QStringLiteral("02.01.26 09:05:00");
  v.backupTime = QStringLiteral("01.01.26 18:00:59");
  return v;
}

}  // namespace

// Lines joined by CR alone, TABs where stated, optional blocks left out whole.
void FileInfoReportTest::reportText() {
  backup::FileInfoReport r = backup::buildFileInfoReport(matching());
  QCOMPARE(r.text, QStringLiteral("Attached files:\t5\r\r"
                                  "File records:\t3 records\r"
                                  "File size:\t\t120 bytes\r"
                                  "Last file save:\t02.01.26 09:05:00\r\r"
                                  "Backup records:\t3 records\r"
                                  "Backup size:\t120 bytes\r"
                                  "Backup time:\t01.01.26 18:00:59\r"
                                  "\rThe backup appears to be up-to-date."));
  QVERIFY(r.upToDate);

  // A search string longer than 20 characters is shown cut; the counts are given as they are.
  FileInfoValues v = matching();
  v.searchString = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
  v.fileHits = 3;
  v.backupHits = 2;
  r = backup::buildFileInfoReport(v);
  QCOMPARE(r.text, QStringLiteral("Attached files:\t5\r\r"
                                  "Search string:\tabcdefghijklmnopqrst\r"
                                  "Found in:\t\t3 File Records\r"
                                  "Found in:\t\t2 Backup Records\r\r"
                                  "File records:\t3 records\r"
                                  "File size:\t\t120 bytes\r"
                                  "Last file save:\t02.01.26 09:05:00\r\r"
                                  "Backup records:\t3 records\r"
                                  "Backup size:\t120 bytes\r"
                                  "Backup time:\t01.01.26 18:00:59\r"
                                  "\rWARNING: Backup does NOT match file!"));
  QVERIFY(!r.upToDate);  // sizes and records agree, the hits do not

  // No backup: no backup lines, the search shows the file's hits only; one blank row of an
  // empty data file against no backup records is a mismatch.
  FileInfoValues none;
  none.fileRecords = 1;
  none.searchString = QStringLiteral("x");
  none.lastFileSave = QStringLiteral("02.01.26 09:05:00");
  r = backup::buildFileInfoReport(none);
  QCOMPARE(r.text, QStringLiteral("Attached files:\t0\r\r"
                                  "Search string:\tx\r"
                                  "Found in:\t\t0 File Records\r"
                                  "File records:\t1 records\r"
                                  "File size:\t\t0 bytes\r"
                                  "Last file save:\t02.01.26 09:05:00\r\r"
                                  "\rWARNING: Backup does NOT match file!"));
  QVERIFY(!r.upToDate);
}

// Each of the three comparisons alone turns the verdict.
void FileInfoReportTest::verdict() {
  QVERIFY(backup::buildFileInfoReport(matching()).upToDate);
  FileInfoValues v = matching();
  v.backupSize = 121;
  QVERIFY(!backup::buildFileInfoReport(v).upToDate);
  v = matching();
  v.fileRecords = 4;
  QVERIFY(!backup::buildFileInfoReport(v).upToDate);
  v = matching();
  v.searchString = QStringLiteral("a");
  v.fileHits = 1;
  QVERIFY(!backup::buildFileInfoReport(v).upToDate);
  v.backupHits = 1;
  QVERIFY(backup::buildFileInfoReport(v).upToDate);
}

// The locale's short date, then the time to the second even where the locale's short time
// leaves the seconds out.
void FileInfoReportTest::generalDateTime() {
  const QDateTime t(QDate(2026, 1, 2), QTime(9, 5, 7));
  QCOMPARE(backup::generalDateTime(t, QLocale(QLocale::German, QLocale::Germany)),
           QStringLiteral("02.01.26 09:05:07"));
  const QString us = backup::generalDateTime(t, QLocale(QLocale::English, QLocale::UnitedStates));
  QVERIFY2(us.startsWith(QStringLiteral("1/2/26 9:05:07")) && us.endsWith(QStringLiteral("AM")),
           qPrintable(us));
}

void FileInfoReportTest::gatheredFromFiles() {
  test::TestEnvironment env;
  for (const char* name : {"Ann.ATA", "Bob.ATA", "Carla van Dijk.ATA", "D.ATA", "E.ATA"}) {
    test::writeFile(env.workPath(QLatin1String(name)), "note\r\n");
  }
  test::writeFile(env.workPath(QStringLiteral(".hidden.ATA")), "x");
  test::writeFile(env.workPath(QStringLiteral("lower.ata")), "x");
  QVERIFY(QDir(env.workDir()).mkdir(QStringLiteral("folder.ATA")));

  const QByteArray data = "\"ANN SMITH\",\"Main St, 1\"\r\n\"Bob\",\"\"\r\n\"Hannah\",\"x\"\r\n";
  test::writeFile(env.workPath(kDataFileName), data);

  // No backup yet: the probe leaves an empty one, and nothing is counted in it.
  FileInfoValues v = backup::gatherFileInfo(kDataFileName, QStringLiteral("ann"), 3);
  QCOMPARE(v.attachedFiles, 5);
  QCOMPARE(v.fileSize, qint64(data.size()));
  QCOMPARE(v.fileHits, 2);  // lower case finds capitals; "Hannah" holds it too
  QCOMPARE(v.backupSize, qint64(0));
  QCOMPARE(v.backupRecords, 0);
  QCOMPARE(v.backupHits, 0);
  QVERIFY(QFileInfo(env.workPath(kBackupFileName)).isFile());

  // The search runs over the stored line, quotes and commas included; the backup is counted.
  test::writeFile(env.workPath(kBackupFileName),
                  "\"ANN SMITH\",\"Main St, 1\"\r\n\"Bob\",\"\"\r\n");
  v = backup::gatherFileInfo(kDataFileName, QStringLiteral("smith\",\"main st,"), 3);
  QCOMPARE(v.fileHits, 1);
  QCOMPARE(v.backupRecords, 2);
  QCOMPARE(v.backupHits, 1);

  // All of a long search string counts, not only the 20 characters shown.
  test::writeFile(env.workPath(kDataFileName),
                  "\"Smith family of the north\"\r\n\"Smith family of the south\"\r\n");
  QCOMPARE(backup::gatherFileInfo(kDataFileName, QStringLiteral("SMITH FAMILY OF THE NORTH"), 2)
               .fileHits,
           1);

  // An empty or missing data file has no hits, and the report does not create it.
  test::writeFile(env.workPath(kDataFileName), "");
  QCOMPARE(backup::gatherFileInfo(kDataFileName, QStringLiteral("a"), 1).fileHits, 0);
  QVERIFY(QFile::remove(env.workPath(kDataFileName)));
  v = backup::gatherFileInfo(kDataFileName, QStringLiteral("a"), 1);
  QCOMPARE(v.fileHits, 0);
  QCOMPARE(v.fileSize, qint64(0));
  QVERIFY(!QFile::exists(env.workPath(kDataFileName)));
}

void FileInfoReportTest::probesAndRemovableDisk() {
  test::TestEnvironment env;
  QCOMPARE(backup::floppyCopyPath(QString()), QStringLiteral("/media/floppy0/TAVELIN.FIL"));
  QCOMPARE(backup::floppyCopyPath(env.workDir()), env.workPath(QStringLiteral("TAVELIN.FIL")));

  // No such folder: no disk in the drive.
  QVERIFY(!backup::appendProbe(env.workPath(QStringLiteral("nodisk/TAVELIN.FIL"))));
  // The probe leaves an existing file as it is.
  const QString copy = env.workPath(QStringLiteral("TAVELIN.FIL"));
  test::writeFile(copy, "\"A\"\r\n");
  QCOMPARE(backup::appendProbe(copy), std::optional<qint64>(5));
  QCOMPARE(test::readFile(copy), QByteArray("\"A\"\r\n"));
  // A folder where the backup should be is no backup.
  QVERIFY(QDir(env.workDir()).mkdir(QStringLiteral("TAVELIN.BAK")));
  QCOMPARE(backup::readableLength(kBackupFileName), qint64(0));
  QVERIFY(!backup::isReadableFile(kBackupFileName));
  QVERIFY(backup::isReadableFile(QStringLiteral("TAVELIN.FIL")));
  QVERIFY(!backup::isReadableFile(QStringLiteral("missing")));
}

QTEST_GUILESS_MAIN(FileInfoReportTest)
#include "test_file_info_report.moc"
