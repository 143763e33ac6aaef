#include <QGuiApplication>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>

#include "file_time.h"
#include "mainform_fixture.h"
#include "record_store/paths.h"

using namespace tavelin;
using namespace tavelin::platform;
using enum Buttons;
using enum Icon;

namespace {

const QStringList kUnsorted = {"Cleo", "Ann", "Bob"}, kSorted = {"Ann", "Bob", "Cleo"};

QByteArray fileBytes(QStringList names) {
  for (QString& name : names) name = test::recordLine(name) + "\r\n";
  return names.join(QString()).toUtf8();
}

// A box as one line, so that a test compares every box shown, in order, at once.
QString box(const QString& text, Buttons buttons, Icon icon, const QString& title = "Tavelin") {
  return QStringLiteral("%1 | %2 | %3/%4").arg(title, text).arg(int(buttons)).arg(int(icon));
}

QStringList shown(const test::MainformFixture& f) {
  QStringList out;
  for (const auto& m : f.platform.fakeDialogs.shown) out << box(m.text, m.buttons, m.icon, m.title);
  return out;
}

}  // namespace

class BackupTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void diskAndFileInformation() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    test::MainformFixture f;
    test::writeFile(f.env.workPath(kDataFileName), fileBytes(kUnsorted));
    auto& w = f.start();
    auto& dialogs = f.platform.fakeDialogs;

    // No backup: a warning (its text: test_file_info_report), whose probe leaves an empty backup.
    // Restoring no backup, or that empty one, asks nothing.
    w.RestoreFile();
    w.Command9->click();
    QVERIFY(QFileInfo(f.env.workPath(kBackupFileName)).isFile());
    w.RestoreFile();
    QCOMPARE(shown(f),
             QStringList({box("Could not find backup file!", Ok, Critical),
                          box(dialogs.shown.at(1).text, Ok, Exclamation, "Info and backup warning"),
                          box("Could not find backup file!", Ok, Critical)}));

    // No, then Yes: the table is written in list order.
    dialogs.clear();
    dialogs.answers = {Button::No};
    w.menuItem("mnuBack")->trigger();
    w.Command6->click();
    QCOMPARE(shown(f), QStringList(2, box("Backup the file? Previous backup will be overwritten!",
                                          YesNo, Question))
                           << box("3 Records were backed up successfully.", Ok, Information));
    QCOMPARE(test::readFile(f.env.workPath(kBackupFileName)), fileBytes(kSorted));

    // Up to date, with a search string; times in the locale's short form, to the second.
    test::setModificationTime(f.env.workPath(kDataFileName), QDateTime({2026, 1, 2}, {9, 5, 7}));
    test::setModificationTime(f.env.workPath(kBackupFileName),
                              QDateTime({2026, 1, 3}, {18, 0, 59}));
    w.SearchString = QStringLiteral("ann");
    dialogs.clear();
    w.menuItem("mnuInfo")->trigger();
    const QString text = QStringLiteral(
                             "Attached files:\t0\r\rSearch string:\tann\r"
                             "Found in:\t\t1 File Records\rFound in:\t\t1 Backup Records\r\r"
                             "File records:\t3 records\rFile size:\t\t%1 bytes\r"
                             "Last file save:\t02.01.26 09:05:07\r\rBackup records:\t3 records\r"
                             "Backup size:\t%1 bytes\rBackup time:\t03.01.26 18:00:59\r"
                             "\rThe backup appears to be up-to-date.")
                             .arg(f.dataFile().size());
    QCOMPARE(shown(f), QStringList{box(text, Ok, Information, "File information")});
    w.SearchString.clear();

    // A 4th record, open for input; No, then Yes: the backup replaces the data file; row 0 shown.
    QVERIFY(w.store().SaveAll(test::recordLine("Dora")));
    w.SortFile();
    w.List1->setListIndex(3);
    w.Editing = true;
    w.store().takeSkipWatch();
    dialogs.clear();
    dialogs.answers = {Button::No};
    w.Command7->click();
    w.menuItem("mnuRest")->trigger();
    QCOMPARE(shown(f), QStringList(2, box("Restore the file? File will be overwritten with backup!",
                                          YesNo, Question))
                           << box("3 Records were restored successfully.", Ok, Information));
    QCOMPARE(f.dataFile(), fileBytes(kSorted));
    QCOMPARE(f.listNames(), kSorted);
    QCOMPARE(w.Text[0]->text(), QStringLiteral("Ann"));
    QVERIFY(!w.Editing && w.store().skipWatch());

    // Lines of the data file that are no record, which the list never shows, are told of last.
    test::writeFile(f.env.workPath(kDataFileName),
                    fileBytes(kSorted) + "\"open\r\n" + QByteArray(20, ',') + "\r\n");
    w.SortFile();
    dialogs.clear();
    w.Command9->click();
    QVERIFY2(dialogs.shown.at(0).text.endsWith(
                 "\r\rWARNING: Backup does NOT match file!\r"
                 "2 lines of TAVELIN.FIL are no contacts; they are kept as they stand."),
             qPrintable(dialogs.shown.at(0).text));
  }

  void floppy() {
    test::MainformFixture f;
    QTemporaryDir drive;
    QString& floppyPath = f.platform.fakeSettings.values["Platform/FloppyPath"] = drive.path();
    test::writeFile(f.env.workPath(kDataFileName), fileBytes(kUnsorted));
    auto& w = f.start();
    auto& dialogs = f.platform.fakeDialogs;
    const QString copy = drive.filePath("TAVELIN.FIL");
    test::writeFile(copy, "an older copy\r\n");

    // Backup, Cancel, then OK: the data file as it is on disk replaces the copy.
    dialogs.answers = {Button::Cancel};
    w.mnuBA_Click();
    w.menuItem("mnuBA")->trigger();
    QCOMPARE(shown(f),
             QStringList(2, box("Place a blank, formatted disk in the drive and click OK.",
                                OkCancel, None, "Floppy backup"))
                 << box("3 records backed up successfully.", Ok, Information, "Backup"));
    QCOMPARE(test::readFile(copy), fileBytes(kUnsorted));

    // Restore, Cancel (the window is not even emptied), then OK: the shorter copy replaces all.
    test::writeFile(copy, fileBytes({"Zoe", "Yves"}));
    w.store().takeSkipWatch();
    dialogs.clear();
    dialogs.answers = {Button::Cancel};
    w.mnuRA_Click();
    QCOMPARE(f.listNames(), kSorted);
    w.menuItem("mnuRA")->trigger();
    QCOMPARE(shown(f), QStringList(2, box("Place the backup disk in the drive and click OK.",
                                          OkCancel, None, "Floppy restore"))
                           << box("2 records were restored successfully.", Ok, Information));
    QCOMPARE(f.dataFile(), fileBytes({"Zoe", "Yves"}));
    QCOMPARE(f.listNames(), (QStringList{"Yves", "Zoe"}));
    QVERIFY(w.store().skipWatch());

    // Restore from no copy, an unreadable copy, no disk: the error over an emptied window, then the
    // data file shown from row 0 and written back whole. Backup to no disk. No hourglass on errors.
    QString atBox;  // list | fields, and the pointer if busy, as a box opens
    dialogs.whileOpen = [&](const auto&) {
      atBox = f.listNames().join(",") + "|" + f.fieldTexts().join("") +
              (QGuiApplication::overrideCursor() ? " busy" : "");
    };
    QVERIFY(QDir(drive.path()).mkpath("empty") && QDir(drive.path()).mkpath("bad/TAVELIN.FIL"));
    const std::pair<const char*, bool> cases[] = {
        {"empty", true}, {"bad", true}, {"absent", true}, {"absent", false}};
    for (const auto& [folder, restore] : cases) {
      floppyPath = drive.filePath(folder);
      dialogs.clear();
      restore ? w.mnuRA_Click() : w.mnuBA_Click();
      QCOMPARE(shown(f).value(1), box("Disk error. Please check the disk in drive A:", Ok, Critical,
                                      restore ? "Restore error" : "Backup error"));
      QCOMPARE(atBox, restore ? "|" : "Yves,Zoe|Yves");  // only the restore empties the window
      QCOMPARE(w.Text[0]->text(), QStringLiteral("Yves"));
      QCOMPARE(f.dataFile(), fileBytes({"Yves", "Zoe"}));
    }
    QVERIFY(QFileInfo(drive.filePath("empty/TAVELIN.FIL")).isFile() && !QDir(floppyPath).exists());

    // Without a readable data file there is nothing to write back: no blank record appears.
    QVERIFY(QFile::remove(f.env.workPath(kDataFileName)));
    w.mnuRA_Click();
    QVERIFY(!QFile::exists(f.env.workPath(kDataFileName)));
  }
};

QTEST_MAIN(BackupTest)
#include "test_backup.moc"
