#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "file_time.h"
#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "record_store/paths.h"

using namespace tavelin;
using platform::Message;

class ChangeWatcherTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void reportsAndReloadsOutsideChange();
  void quietWithoutMultiUserOrWhileEditing();
  void ownWritesAreNotReported();
  void vanishedFileReportedEverySecondTick();
  void twoCopiesSeeEachOthersSaves();
};

namespace {

const QString kChanged = QStringLiteral("Click OK to refresh file...");

// Rewrites the data file as another program would, a little later than it was last written.
void changeFromOutside(test::MainformFixture& f, const QStringList& lines) {
  const QDateTime before = QFileInfo(f.env.workPath(kDataFileName)).lastModified();
  f.writeDataFile(lines);
  test::setModificationTime(f.env.workPath(kDataFileName), before.addSecs(7));
}

int reports(const test::MainformFixture& f) {
  return static_cast<int>(f.platform.fakeDialogs.texts().count(kChanged));
}

}  // namespace

void ChangeWatcherTest::reportsAndReloadsOutsideChange() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann"), test::recordLine("Bob"), test::recordLine("Cleo")});
  auto& w = f.start();
  QCOMPARE(w.Timer2->objectName(), QStringLiteral("Timer2"));
  QCOMPARE(w.Timer2->interval(), 5000);
  QVERIFY(w.Timer2->isActive());
  auto& dialogs = f.platform.fakeDialogs;
  w.List1->setListIndex(1);

  // The first tick after the load only clears SkipWatch; an unchanged file is not reported.
  QVERIFY(w.store().SkipWatch);
  changeFromOutside(f, {test::recordLine("Ann"), test::recordLine("Abe"), test::recordLine("Bob"),
                        test::recordLine("Cleo")});
  w.Timer2_Timer();
  QVERIFY(!w.store().SkipWatch);
  QVERIFY(dialogs.shown.empty());

  // The change is reported once, even when the timer ticks again while the box is open, and
  // the list is reloaded only after OK.
  QStringList namesWhileOpen;
  int nested = 0;
  dialogs.whileOpen = [&](const Message&) {
    namesWhileOpen = f.listNames();
    if (nested++ == 0) w.Timer2_Timer();
  };
  w.Timer2_Timer();
  QCOMPARE(dialogs.shown.size(), size_t(1));
  const Message& m = dialogs.shown[0];
  QCOMPARE(m.text, kChanged);
  QCOMPARE(m.title, QStringLiteral("File has been changed"));
  QCOMPARE(m.icon, platform::Icon::None);
  QCOMPARE(m.buttons, platform::Buttons::Ok);
  QCOMPARE(namesWhileOpen, (QStringList{"Ann", "Bob", "Cleo"}));
  QCOMPARE(f.listNames(), (QStringList{"Abe", "Ann", "Bob", "Cleo"}));
  QCOMPARE(f.listIndex(), 1);  // the same row number, now another record
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Ann"));
  QVERIFY(w.store().SkipWatch);
  dialogs.whileOpen = nullptr;

  for (int tick = 0; tick < 3; ++tick) w.Timer2_Timer();
  QCOMPARE(reports(f), 1);

  // Fewer rows than the selected row number: no row is selected.
  w.List1->setListIndex(3);
  changeFromOutside(f, {test::recordLine("Zoe")});
  w.Timer2_Timer();
  QCOMPARE(reports(f), 2);
  QCOMPARE(f.listNames(), QStringList{"Zoe"});
  QCOMPARE(f.listIndex(), -1);
}

void ChangeWatcherTest::quietWithoutMultiUserOrWhileEditing() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann")});
  auto& w = f.start();
  w.Timer2_Timer();  // clears SkipWatch

  w.frmOptions().chkMulti->setChecked(false);
  changeFromOutside(f, {test::recordLine("Ann"), test::recordLine("Bob")});
  for (int tick = 0; tick < 4; ++tick) w.Timer2_Timer();
  QVERIFY(f.platform.fakeDialogs.shown.empty());
  QCOMPARE(f.listNames(), QStringList{"Ann"});

  // The option is read at every tick; a record open for input holds the report back.
  w.frmOptions().chkMulti->setChecked(true);
  w.Editing = true;
  w.Timer2_Timer();
  w.Editing = false;
  w.Adding = true;
  w.Timer2_Timer();
  QVERIFY(f.platform.fakeDialogs.shown.empty());
  w.Adding = false;
  w.Timer2_Timer();
  QCOMPARE(reports(f), 1);
  QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob"}));
}

void ChangeWatcherTest::ownWritesAreNotReported() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann")});
  // Loaded long ago, so that our own writes below land in a later second.
  test::setModificationTime(f.env.workPath(kDataFileName),
                            QDateTime::currentDateTime().addSecs(-3600));
  auto& w = f.start();
  w.Timer2_Timer();

  w.store().SaveAll(test::recordLine("Bob"));
  w.SortFile();
  for (int tick = 0; tick < 3; ++tick) w.Timer2_Timer();

  // A restore replaces the data file too.
  test::writeFile(f.env.workPath(kBackupFileName), "\"Cleo\"\r\n");
  w.RestoreFile();
  QVERIFY(w.store().SkipWatch);
  for (int tick = 0; tick < 3; ++tick) w.Timer2_Timer();

  QCOMPARE(reports(f), 0);
  QCOMPARE(f.listNames(), QStringList{"Cleo"});
}

void ChangeWatcherTest::vanishedFileReportedEverySecondTick() {
  // Started without a data file: there is no time to compare, nothing is reported.
  test::MainformFixture empty;
  auto& e = empty.start();
  for (int tick = 0; tick < 3; ++tick) e.Timer2_Timer();
  QVERIFY(empty.platform.fakeDialogs.shown.empty());

  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann"), test::recordLine("Bob")});
  auto& w = f.start();
  w.Timer2_Timer();
  QVERIFY(QFile::remove(f.env.workPath(kDataFileName)));
  QList<int> reportedAt;
  for (int tick = 0; tick < 6; ++tick) {
    const int before = reports(f);
    w.Timer2_Timer();
    if (reports(f) > before) reportedAt << tick;
  }
  QCOMPARE(reportedAt, (QList<int>{0, 2, 4}));
  QCOMPARE(f.listNames(), QStringList{QString()});
  QVERIFY(!QFile::exists(f.env.workPath(kDataFileName)));

  // Back again (the sixth tick cleared SkipWatch): reported once more, then quiet.
  f.writeDataFile({test::recordLine("Cleo")});
  test::setModificationTime(f.env.workPath(kDataFileName),
                            QDateTime::currentDateTime().addSecs(60));
  w.Timer2_Timer();
  QCOMPARE(reports(f), 4);
  QCOMPARE(f.listNames(), QStringList{"Cleo"});
  for (int tick = 0; tick < 3; ++tick) w.Timer2_Timer();
  QCOMPARE(reports(f), 4);
}

// Two windows on one working directory, each with its own configuration, as two copies of the
// program would run.
void ChangeWatcherTest::twoCopiesSeeEachOthersSaves() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann"), test::recordLine("Bob")});
  auto& first = f.start();
  QTemporaryDir otherConfig;
  platform::FakePlatform otherPlatform(otherConfig.path());
  main_window::Mainform second(otherPlatform);
  second.Form_Load();
  first.Timer2_Timer();
  second.Timer2_Timer();

  // Our own save, as the editing code does it, one second after the state both copies loaded.
  const auto save = [&](main_window::Mainform& w, const QString& line) {
    const QDateTime loaded = QFileInfo(f.env.workPath(kDataFileName)).lastModified();
    QVERIFY(!w.store().SaveAll(line));
    test::setModificationTime(f.env.workPath(kDataFileName), loaded.addSecs(1));
    w.SortFile();
  };

  save(first, test::recordLine("Cleo"));
  second.Timer2_Timer();
  QCOMPARE(otherPlatform.fakeDialogs.texts(), QStringList{kChanged});
  QCOMPARE(second.List1->model()->rowCount(), 3);
  first.Timer2_Timer();
  first.Timer2_Timer();
  QVERIFY(f.platform.fakeDialogs.shown.empty());

  second.Timer2_Timer();  // clears SkipWatch after the reload
  save(second, test::recordLine("Dora"));
  first.Timer2_Timer();
  QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{kChanged});
  QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo", "Dora"}));
  second.Timer2_Timer();
  second.Timer2_Timer();
  QCOMPARE(otherPlatform.fakeDialogs.texts(), QStringList{kChanged});
}

QTEST_MAIN(ChangeWatcherTest)
#include "test_change_watcher.moc"
