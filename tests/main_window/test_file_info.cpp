#include <QAction>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include "file_time.h"
#include "mainform_fixture.h"
#include "record_store/paths.h"

using namespace tavelin;
using platform::Icon;
using platform::Message;

class FileInfoTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
  void upToDateThenOutOfDate();
  void searchHitsAndMissingBackup();
};

namespace {

Message report(test::MainformFixture& f) {
  f.platform.fakeDialogs.clear();
  f.window->ShowFileInfo();
  return f.platform.fakeDialogs.shown.at(0);
}

}  // namespace

void FileInfoTest::upToDateThenOutOfDate() {
  test::MainformFixture f;
  f.writeDataFile(
      {test::recordLine("Cleo", "3"), test::recordLine("Ann", "1"), test::recordLine("Bob", "2")});
  auto& w = f.start();
  w.BackupFile();
  test::setModificationTime(f.env.workPath(kDataFileName),
                            QDateTime(QDate(2026, 1, 2), QTime(9, 5, 7)));
  test::setModificationTime(f.env.workPath(kBackupFileName),
                            QDateTime(QDate(2026, 1, 3), QTime(18, 0, 59)));

  f.platform.fakeDialogs.clear();
  w.Command9->click();
  QCOMPARE(f.platform.fakeDialogs.shown.size(), size_t(1));
  const Message ok = f.platform.fakeDialogs.shown[0];
  QCOMPARE(ok.text, QStringLiteral("Attached files:\t0\r\r"
                                   "File records:\t3 records\r"
                                   "File size:\t\t%1 bytes\r"
                                   "Last file save:\t02.01.26 09:05:07\r\r"
                                   "Backup records:\t3 records\r"
                                   "Backup size:\t%1 bytes\r"
                                   "Backup time:\t03.01.26 18:00:59\r"
                                   "\rThe backup appears to be up-to-date.")
                        .arg(f.dataFile().size()));
  QCOMPARE(ok.title, QStringLiteral("File information"));
  QCOMPARE(ok.icon, Icon::Information);

  // A record added since the backup.
  w.store().SaveAll(test::recordLine("Dora"));
  w.SortFile();
  f.platform.fakeDialogs.clear();
  w.menuItem("mnuInfo")->trigger();
  const Message warning = f.platform.fakeDialogs.shown.at(0);
  QVERIFY(warning.text.contains(QStringLiteral("File records:\t4 records\r")));
  QVERIFY(warning.text.endsWith(QStringLiteral("\r\rWARNING: Backup does NOT match file!")));
  QCOMPARE(warning.title, QStringLiteral("Info and backup warning"));
  QCOMPARE(warning.icon, Icon::Exclamation);
}

void FileInfoTest::searchHitsAndMissingBackup() {
  // 3 hits in the file against 2 in a backup of the same size and count: still a warning.
  test::MainformFixture f;
  f.writeDataFile(
      {test::recordLine("JOHN SMITH"), test::recordLine("Jane Smith"), test::recordLine("Smithy")});
  test::writeFile(f.env.workPath(kBackupFileName),
                  QString(test::recordLine("JOHN SMITH") + "\r\n" + test::recordLine("Jane Smyth") +
                          "\r\n" + test::recordLine("Smithy") + "\r\n")
                      .toUtf8());
  auto& w = f.start();
  w.SearchString = QStringLiteral("smith");
  const Message m = report(f);
  QVERIFY2(m.text.startsWith(QStringLiteral("Attached files:\t0\r\r"
                                            "Search string:\tsmith\r"
                                            "Found in:\t\t3 File Records\r"
                                            "Found in:\t\t2 Backup Records\r\r"
                                            "File records:\t3 records\r")),
           qPrintable(m.text));
  QVERIFY(m.text.contains(QStringLiteral("Backup records:\t3 records\r")));
  QCOMPARE(QFileInfo(f.env.workPath(kBackupFileName)).size(), qint64(f.dataFile().size()));
  QVERIFY(m.text.endsWith(QStringLiteral("WARNING: Backup does NOT match file!")));
  QCOMPARE(m.icon, Icon::Exclamation);

  // No backup and an empty data file: an empty backup appears, no backup lines are shown.
  test::MainformFixture g;
  g.writeDataFile({});
  g.start();
  const Message none = report(g);
  QVERIFY(!none.text.contains(QStringLiteral("\rBackup ")));
  QVERIFY(none.text.contains(QStringLiteral("File records:\t1 records\rFile size:\t\t0 bytes\r")));
  QVERIFY(none.text.endsWith(QStringLiteral("\r\rWARNING: Backup does NOT match file!")));
  QVERIFY(QFileInfo(g.env.workPath(kBackupFileName)).isFile());
  QCOMPARE(QFileInfo(g.env.workPath(kBackupFileName)).size(), qint64(0));
}

QTEST_MAIN(FileInfoTest)
#include "test_file_info.moc"
