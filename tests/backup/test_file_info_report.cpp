#include <QDir>
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
  // Lines ended by CR alone, TABs where stated; the search string is shown cut to 20 characters.
  void reportAndVerdict() {
    FileInfoValues v;
    v.attachedFiles = 5;
    v.fileSize = v.backupSize = 120;
    v.fileRecords = v.backupRecords = 3;
    v.searchString = "abcdefghijklmnopqrstuvwxyz";
    v.fileHits = v.backupHits = 2;
    v.lastFileSave = "02.01.26 09:05:00";
    v.backupTime = "01.01.26 18:00:59";
    const backup::FileInfoReport r = backup::buildFileInfoReport(v);
    QCOMPARE(r.text,
             QStringLiteral("Attached files:\t5\r\rSearch string:\tabcdefghijklmnopqrst\r"
                            "Found in:\t\t2 File Records\rFound in:\t\t2 Backup Records\r\r"
                            "File records:\t3 records\rFile size:\t\t120 bytes\r"
                            "Last file save:\t02.01.26 09:05:00\r\rBackup records:\t3 records\r"
                            "Backup size:\t120 bytes\rBackup time:\t01.01.26 18:00:59\r"
                            "\rThe backup appears to be up-to-date."));
    QVERIFY(r.upToDate);

    // Each of the three comparisons alone turns the verdict; so does a missing backup, whose lines
    // (and hits) are left out whole.
    FileInfoValues size = v, records = v, hits = v, none = v;
    size.backupSize = 121;
    records.fileRecords = 4;
    hits.backupHits = 1;
    none.backupSize = none.backupRecords = 0;
    for (const FileInfoValues& mismatch : {size, records, hits, none}) {
      const backup::FileInfoReport m = backup::buildFileInfoReport(mismatch);
      QVERIFY(!m.upToDate && m.text.endsWith("\r\rWARNING: Backup does NOT match file!"));
    }
    QCOMPARE(backup::buildFileInfoReport(none).text.count("Backup"), 1);  // in the verdict only

    // Lines of the data file that are no record: one line after the verdict, which they leave.
    const std::pair<int, QString> kept[] = {
        {1, "1 line of TAVELIN.FIL is no contact; it is kept as it stands."},
        {3, "3 lines of TAVELIN.FIL are no contacts; they are kept as they stand."}};
    for (const auto& [lines, told] : kept) {
      FileInfoValues k = v;
      k.keptLines = lines;
      const backup::FileInfoReport withKept = backup::buildFileInfoReport(k);
      QCOMPARE(withKept.text, r.text + u'\r' + told);
      QVERIFY(withKept.upToDate);
    }
  }

  void gatheredFromFiles() {
    test::TestEnvironment env;
    // Only ordinary files named *.ATA are attachments: no hidden ones, no other case, no folders.
    for (const char* name : {"Ann.ATA", "Carla van Dijk.ATA", ".hidden.ATA", "lower.ata"})
      test::writeFile(env.workPath(QLatin1String(name)), "note\r\n");
    QVERIFY(QDir(env.workDir()).mkdir("folder.ATA"));
    // The whole search string, in any case, is sought in the stored lines, quotes and commas too.
    const QByteArray data = "\"ANN SMITH\",\"Main St, 1\"\r\n\"ann smith\",\"Main St, 2\"\r\n";
    test::writeFile(env.workPath(kDataFileName), data);
    test::writeFile(env.workPath(kBackupFileName), data);
    const FileInfoValues v = backup::gatherFileInfo(kDataFileName, "ann smith\",\"main st, 1", 2);
    QCOMPARE(v.attachedFiles, 2);
    QCOMPARE((QList<int>{v.fileHits, v.backupRecords, v.backupHits}), (QList<int>{1, 2, 1}));

    // The report only reads the data file: a missing one is not created.
    QVERIFY(QFile::remove(env.workPath(kDataFileName)));
    QCOMPARE(backup::gatherFileInfo(kDataFileName, "a", 1).fileSize, qint64(0));
    QVERIFY(!QFile::exists(env.workPath(kDataFileName)));

    // The removable disk's default folder; a folder where the backup should be is no backup.
    QCOMPARE(backup::floppyCopyPath(QString()), QStringLiteral("/media/floppy0/TAVELIN.FIL"));
    QVERIFY(QFile::remove(kBackupFileName) && QDir(env.workDir()).mkdir(kBackupFileName));
    QVERIFY(backup::readableLength(kBackupFileName) == 0 &&
            !backup::isReadableFile(kBackupFileName));
  }
};

QTEST_GUILESS_MAIN(FileInfoReportTest)
#include "test_file_info_report.moc"
