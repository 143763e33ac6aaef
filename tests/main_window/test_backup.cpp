#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "mainform_fixture.h"
#include "record_store/paths.h"

using namespace tavelin;
using platform::Button;
using platform::Buttons;
using platform::Icon;
using platform::Message;

class BackupTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void diskBackupThenRestore();
  void diskRestoreWithoutBackup();
  void diskRestoreWhileEditing();
  void diskWriteFailuresChangeNothing();
  void floppyBackup();
  void floppyRestore();
  void floppyRestoreErrors();
};

namespace {

const QString kDiskError = QStringLiteral("Disk error. Please check the disk in drive A:");

// "Name 01".."Name NN", written last name first so that the load has something to sort.
QStringList numberedRecords(int count) {
  QStringList lines;
  for (int i = count; i >= 1; --i) {
    lines << test::recordLine(QStringLiteral("Name %1").arg(i, 2, 10, QLatin1Char('0')),
                              QString::number(1000 + i));
  }
  return lines;
}

QByteArray fileBytes(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
  return bytes;
}

void expectMessage(const Message& m, const QString& text, Buttons buttons, Icon icon,
                   const QString& title = QStringLiteral("Tavelin")) {
  QCOMPARE(m.text, text);
  QCOMPARE(m.buttons, buttons);
  QCOMPARE(m.icon, icon);
  QCOMPARE(m.title, title);
}

}  // namespace

// The backup is written from the table in list order; restoring it brings those lines back.
void BackupTest::diskBackupThenRestore() {
  test::MainformFixture f;
  const QStringList records = numberedRecords(25);
  f.writeDataFile(records);
  auto& w = f.start();
  auto& dialogs = f.platform.fakeDialogs;
  QStringList sorted = records;
  std::reverse(sorted.begin(), sorted.end());

  w.Command6->click();
  QCOMPARE(dialogs.shown.size(), size_t(2));
  expectMessage(dialogs.shown[0], "Backup the file? Previous backup will be overwritten!",
                Buttons::YesNo, Icon::Question);
  expectMessage(dialogs.shown[1], "25 Records were backed up successfully.", Buttons::Ok,
                Icon::Information);
  QCOMPARE(test::readFile(f.env.workPath(kBackupFileName)), fileBytes(sorted));
  QCOMPARE(w.store().DataFile, kDataFileName);
  QCOMPARE(f.dataFile(), fileBytes(records));  // the data file itself is not touched

  // No keeps the earlier backup.
  dialogs.clear();
  dialogs.answers = {Button::No};
  w.store().SaveAll(test::recordLine("Zed"));
  w.SortFile();
  w.menuItem("mnuBack")->trigger();
  QCOMPARE(dialogs.shown.size(), size_t(1));
  QCOMPARE(test::readFile(f.env.workPath(kBackupFileName)), fileBytes(sorted));

  // No to the restore question changes nothing either.
  dialogs.clear();
  dialogs.answers = {Button::No};
  const QByteArray withZed = f.dataFile();
  w.Command7->click();
  QCOMPARE(dialogs.shown.size(), size_t(1));
  QCOMPARE(f.dataFile(), withZed);
  QCOMPARE(f.listNames().size(), 26);

  dialogs.clear();
  w.List1->setListIndex(7);
  w.store().SkipWatch = false;
  w.menuItem("mnuRest")->trigger();
  QCOMPARE(dialogs.shown.size(), size_t(2));
  expectMessage(dialogs.shown[0], "Restore the file? File will be overwritten with backup!",
                Buttons::YesNo, Icon::Question);
  expectMessage(dialogs.shown[1], "25 Records were restored successfully.", Buttons::Ok,
                Icon::Information);
  QCOMPARE(f.dataFile(), fileBytes(sorted));
  QCOMPARE(f.listNames().size(), 25);
  QCOMPARE(f.listNames().front(), QStringLiteral("Name 01"));
  QCOMPARE(f.listIndex(), 0);
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Name 01"));
  QVERIFY(w.store().SkipWatch);
}

void BackupTest::diskRestoreWithoutBackup() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann")});
  auto& w = f.start();
  auto& dialogs = f.platform.fakeDialogs;
  for (int attempt = 0; attempt < 2; ++attempt) {
    dialogs.clear();
    w.RestoreFile();
    QCOMPARE(dialogs.shown.size(), size_t(1));  // no question is asked
    expectMessage(dialogs.shown[0], "Could not find backup file!", Buttons::Ok, Icon::Critical);
    QVERIFY(QFileInfo(f.env.workPath(kBackupFileName)).isFile());
    QCOMPARE(QFileInfo(f.env.workPath(kBackupFileName)).size(), qint64(0));
  }
  QCOMPARE(f.dataFile(), fileBytes({test::recordLine("Ann")}));
  QCOMPARE(f.listNames(), QStringList{"Ann"});
}

// F6 while a record is open for input: the restore selects row 0, which ends the edit.
void BackupTest::diskRestoreWhileEditing() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Bob"), test::recordLine("Ann")});
  test::writeFile(f.env.workPath(kBackupFileName), fileBytes({test::recordLine("Carl")}));
  auto& w = f.start();
  w.List1->setListIndex(1);
  w.Editing = true;
  w.Text[0]->setText(QStringLiteral("typed but not saved"));
  w.RestoreFile();
  QVERIFY(!w.Editing);
  QCOMPARE(f.listNames(), QStringList{"Carl"});
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Carl"));
  QCOMPARE(f.platform.fakeDialogs.shown.back().text,
           QStringLiteral("1 Records were restored successfully."));
}

// A backup or restore that cannot write its target names the file and changes nothing.
void BackupTest::diskWriteFailuresChangeNothing() {
  test::MainformFixture f;
  const QStringList records = {test::recordLine("Cleo"), test::recordLine("Ann"),
                               test::recordLine("Bob")};
  f.writeDataFile(records);
  auto& w = f.start();
  auto& dialogs = f.platform.fakeDialogs;
  w.List1->setListIndex(2);
  const QStringList fields = f.fieldTexts();

  // The backup's place is taken by a folder: it cannot be replaced.
  QVERIFY(QDir(f.env.workDir()).mkdir(kBackupFileName));
  w.BackupFile();
  QCOMPARE(dialogs.shown.size(), size_t(2));
  QCOMPARE(dialogs.shown[1].icon, Icon::Critical);
  QVERIFY2(dialogs.shown[1].text.contains(f.env.workPath(kBackupFileName)),
           qPrintable(dialogs.shown[1].text));
  QCOMPARE(w.store().DataFile, kDataFileName);
  QCOMPARE(f.dataFile(), fileBytes(records));
  QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
  QCOMPARE(f.listIndex(), 2);
  QCOMPARE(f.fieldTexts(), fields);

  // The data file cannot be replaced by the backup: neither file nor the window changes.
  QVERIFY(QDir(f.env.workDir()).rmdir(kBackupFileName));
  const QByteArray backup = fileBytes({test::recordLine("Dora")});
  test::writeFile(f.env.workPath(kBackupFileName), backup);
  QVERIFY(QFile::remove(f.env.workPath(kDataFileName)));
  QVERIFY(QDir(f.env.workDir()).mkdir(kDataFileName));
  dialogs.clear();
  w.RestoreFile();
  QCOMPARE(dialogs.shown.size(), size_t(2));
  QCOMPARE(dialogs.shown[1].icon, Icon::Critical);
  QVERIFY2(dialogs.shown[1].text.contains(f.env.workPath(kDataFileName)),
           qPrintable(dialogs.shown[1].text));
  QVERIFY(!dialogs.shown[1].text.contains(QStringLiteral("restored")));
  QCOMPARE(test::readFile(f.env.workPath(kBackupFileName)), backup);
  QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
  QCOMPARE(f.listIndex(), 2);
  QCOMPARE(f.fieldTexts(), fields);
}

void BackupTest::floppyBackup() {
  test::MainformFixture f;
  QTemporaryDir drive;
  f.platform.fakeSettings.values["Platform/FloppyPath"] = drive.path();
  const QStringList records = {test::recordLine("Cleo"), test::recordLine("Ann")};
  f.writeDataFile(records);
  auto& w = f.start();
  auto& dialogs = f.platform.fakeDialogs;
  const QString copy = drive.filePath(QStringLiteral("TAVELIN.FIL"));
  test::writeFile(copy, "an older copy\r\n");

  // Cancel: nothing is copied.
  dialogs.answers = {Button::Cancel};
  w.mnuBA_Click();
  QCOMPARE(dialogs.shown.size(), size_t(1));
  QCOMPARE(test::readFile(copy), QByteArray("an older copy\r\n"));

  // OK: the data file as it is on disk, byte for byte, replaces the copy.
  dialogs.clear();
  w.menuItem("mnuBA")->trigger();
  QCOMPARE(dialogs.shown.size(), size_t(2));
  expectMessage(dialogs.shown[0], "Place a blank, formatted disk in the drive and click OK.",
                Buttons::OkCancel, Icon::None, "Floppy backup");
  expectMessage(dialogs.shown[1], "2 records backed up successfully.", Buttons::Ok,
                Icon::Information, "Backup");
  QCOMPARE(test::readFile(copy), fileBytes(records));
  QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

  // No disk (no such folder) and a write-protected one (the copy cannot be replaced).
  bool normalPointer = false;
  dialogs.whileOpen = [&](const Message& m) {
    if (m.text == kDiskError) normalPointer = QGuiApplication::overrideCursor() == nullptr;
  };
  for (const QString& folder : {drive.filePath(QStringLiteral("absent")), drive.path()}) {
    if (folder == drive.path()) {
      QVERIFY(QFile::remove(copy));
      QVERIFY(QDir(drive.path()).mkdir(QStringLiteral("TAVELIN.FIL")));
    }
    f.platform.fakeSettings.values["Platform/FloppyPath"] = folder;
    dialogs.clear();
    normalPointer = false;
    w.mnuBA_Click();
    QCOMPARE(dialogs.shown.size(), size_t(2));
    expectMessage(dialogs.shown[1], kDiskError, Buttons::Ok, Icon::Critical, "Backup error");
    QVERIFY(normalPointer);
    QCOMPARE(f.dataFile(), fileBytes(records));
  }
  QVERIFY(!QDir(drive.filePath(QStringLiteral("absent"))).exists());
}

void BackupTest::floppyRestore() {
  test::MainformFixture f;
  QTemporaryDir drive;
  f.platform.fakeSettings.values["Platform/FloppyPath"] = drive.path();
  const QStringList records = {test::recordLine("Cleo"), test::recordLine("Ann"),
                               test::recordLine("Bob")};
  f.writeDataFile(records);
  const QByteArray floppy = fileBytes({test::recordLine("Zoe", "9"), test::recordLine("Yves")});
  test::writeFile(drive.filePath(QStringLiteral("TAVELIN.FIL")), floppy);
  auto& w = f.start();
  auto& dialogs = f.platform.fakeDialogs;
  w.List1->setListIndex(1);

  // Cancel: the window is not even emptied.
  QStringList namesWhileAsked;
  dialogs.whileOpen = [&](const Message&) { namesWhileAsked = f.listNames(); };
  dialogs.answers = {Button::Cancel};
  w.mnuRA_Click();
  QCOMPARE(dialogs.shown.size(), size_t(1));
  QCOMPARE(namesWhileAsked, (QStringList{"Ann", "Bob", "Cleo"}));
  QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Bob"));
  QCOMPARE(f.dataFile(), fileBytes(records));

  // OK: the window is emptied before the one yield, then shows the disk's records.
  dialogs.clear();
  QStringList namesAtYield = {QStringLiteral("not yielded")};
  QString fieldAtYield;
  dialogs.whileOpen = [&](const Message& m) {
    if (m.title != QLatin1String("Floppy restore")) return;
    QMetaObject::invokeMethod(
        f.window.get(),
        [&] {
          namesAtYield = f.listNames();
          fieldAtYield = f.window->Text[0]->text();
        },
        Qt::QueuedConnection);
  };
  w.menuItem("mnuRA")->trigger();
  QCOMPARE(namesAtYield, QStringList());
  QCOMPARE(fieldAtYield, QString());
  QCOMPARE(dialogs.shown.size(), size_t(2));
  expectMessage(dialogs.shown[0], "Place the backup disk in the drive and click OK.",
                Buttons::OkCancel, Icon::None, "Floppy restore");
  expectMessage(dialogs.shown[1], "2 records were restored successfully.", Buttons::Ok,
                Icon::Information);
  QCOMPARE(f.dataFile(), floppy);
  QCOMPARE(f.listNames(), (QStringList{"Yves", "Zoe"}));
  QCOMPARE(f.listIndex(), 0);
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Yves"));
  QVERIFY(w.store().SkipWatch);
  QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

// Every failure ends in the disk error, after which the window shows the data file as it was,
// and the data file keeps every record it had.
void BackupTest::floppyRestoreErrors() {
  test::MainformFixture f;
  QTemporaryDir drive;
  const QStringList records = {test::recordLine("Cleo"), test::recordLine("Ann"),
                               test::recordLine("Bob")};
  const QByteArray inListOrder =
      fileBytes({test::recordLine("Ann"), test::recordLine("Bob"), test::recordLine("Cleo")});
  f.writeDataFile(records);
  auto& w = f.start();
  auto& dialogs = f.platform.fakeDialogs;

  struct AtError {
    QStringList names;
    QStringList fields;
    bool normalPointer = false;
  } atError;
  dialogs.whileOpen = [&](const Message& m) {
    if (m.text != kDiskError) return;
    atError = {f.listNames(), f.fieldTexts(), QGuiApplication::overrideCursor() == nullptr};
  };

  const QString withoutCopy = drive.filePath(QStringLiteral("empty"));
  const QString unreadable = drive.filePath(QStringLiteral("unreadable"));
  QVERIFY(QDir(drive.path()).mkpath(QStringLiteral("empty")));
  QVERIFY(QDir(drive.path()).mkpath(QStringLiteral("unreadable/TAVELIN.FIL")));
  for (const QString& folder :
       {withoutCopy, drive.filePath(QStringLiteral("absent")), unreadable}) {
    f.platform.fakeSettings.values["Platform/FloppyPath"] = folder;
    w.List1->setListIndex(2);
    dialogs.clear();
    w.mnuRA_Click();
    QCOMPARE(dialogs.shown.size(), size_t(2));
    expectMessage(dialogs.shown[1], kDiskError, Buttons::Ok, Icon::Critical, "Restore error");
    QCOMPARE(atError.names, QStringList());
    QCOMPARE(atError.fields, QStringList(14));
    QVERIFY(atError.normalPointer);
    QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
    QCOMPARE(f.listIndex(), 0);
    QCOMPARE(w.Text[0]->text(), QStringLiteral("Ann"));
    QCOMPARE(f.dataFile(), inListOrder);  // reloaded and written back whole
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
  }
  // A disk without the copy is left with an empty one.
  QCOMPARE(QFileInfo(withoutCopy + QStringLiteral("/TAVELIN.FIL")).size(), qint64(0));
  QVERIFY(!QDir(drive.filePath(QStringLiteral("absent"))).exists());

  // Without a readable data file there is nothing to write back: no blank record appears.
  test::MainformFixture g;
  g.platform.fakeSettings.values["Platform/FloppyPath"] = withoutCopy;
  g.start();
  g.window->mnuRA_Click();
  QCOMPARE(g.platform.fakeDialogs.shown.back().text, kDiskError);
  QVERIFY(!QFile::exists(g.env.workPath(kDataFileName)));
  QCOMPARE(g.listNames(), QStringList{QString()});
}

QTEST_MAIN(BackupTest)
#include "test_backup.moc"
