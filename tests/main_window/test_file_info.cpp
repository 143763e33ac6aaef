#include <QLocale>
#include <QTest>

#include "file_time.h"
#include "mainform_fixture.h"
#include "record_store/paths.h"

using namespace tavelin;
using test::recordLine;

class FileInfoTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
  void withoutThenWithBackup();
};

void FileInfoTest::withoutThenWithBackup() {
  test::MainformFixture f;
  f.writeDataFile({recordLine("Cleo"), recordLine("Ann"), recordLine("Bob")});
  auto& w = f.start();

  // No backup: the probe leaves an empty one; no backup lines are shown, and it does not match.
  w.Command9->click();
  const platform::Message warning = f.platform.fakeDialogs.shown.at(0);
  QVERIFY(warning.title == "Info and backup warning" &&
          warning.icon == platform::Icon::Exclamation);
  QVERIFY(!warning.text.contains("\rBackup "));
  QVERIFY(warning.text.endsWith("\r\rWARNING: Backup does NOT match file!"));
  QVERIFY(QFileInfo(f.env.workPath(kBackupFileName)).isFile());

  // After a backup, with a search string; times in the locale's short form, to the second.
  w.BackupFile();
  test::setModificationTime(f.env.workPath(kDataFileName), QDateTime({2026, 1, 2}, {9, 5, 7}));
  test::setModificationTime(f.env.workPath(kBackupFileName), QDateTime({2026, 1, 3}, {18, 0, 59}));
  w.SearchString = QStringLiteral("ann");
  f.platform.fakeDialogs.clear();
  w.menuItem("mnuInfo")->trigger();
  const platform::Message ok = f.platform.fakeDialogs.shown.at(0);
  QCOMPARE(ok.text,
           QStringLiteral("Attached files:\t0\r\rSearch string:\tann\r"
                          "Found in:\t\t1 File Records\rFound in:\t\t1 Backup Records\r\r"
                          "File records:\t3 records\rFile size:\t\t%1 bytes\r"
                          "Last file save:\t02.01.26 09:05:07\r\rBackup records:\t3 records\r"
                          "Backup size:\t%1 bytes\rBackup time:\t03.01.26 18:00:59\r"
                          "\rThe backup appears to be up-to-date.")
               .arg(f.dataFile().size()));
  QVERIFY(ok.title == "File information" && ok.icon == platform::Icon::Information);
}

QTEST_MAIN(FileInfoTest)
#include "test_file_info.moc"
