#include <QCheckBox>
#include <QTest>
#include <QTimer>

#include "file_time.h"
#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "record_store/paths.h"

using namespace tavelin;
using test::recordLine;

namespace {

const QString kChanged = QStringLiteral("Click OK to refresh file...");

// Rewrites the data file as another program would, a little later than it was last written.
void changeFromOutside(test::MainformFixture& f, const QStringList& lines) {
  const QDateTime before = QFileInfo(f.env.workPath(kDataFileName)).lastModified();
  f.writeDataFile(lines);
  test::setModificationTime(f.env.workPath(kDataFileName), before.addSecs(7));
}

}  // namespace

class ChangeWatcherTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void oneWindow() {
    test::MainformFixture f;
    f.writeDataFile({recordLine("Ann"), recordLine("Bob"), recordLine("Cleo")});
    auto& w = f.start();
    QVERIFY(w.Timer2->isActive() && w.Timer2->interval() == 5000);
    w.List1->setListIndex(1);
    changeFromOutside(
        f, {recordLine("Abe"), recordLine("Ann"), recordLine("Bob"), recordLine("Cleo")});

    // Nothing at the first tick after the load (it clears SkipWatch), with multi-user off, or with
    // a record open for input; the option and the flags are read at every tick.
    w.Timer2_Timer();
    w.frmOptions().chkMulti->setChecked(false);
    w.Timer2_Timer();
    w.frmOptions().chkMulti->setChecked(true);
    for (bool* busy : {&w.Editing, &w.Adding}) {
      *busy = true;
      w.Timer2_Timer();
      *busy = false;
    }
    QVERIFY(f.platform.fakeDialogs.shown.empty());

    // One report, also if the timer ticks while it is open; OK reloads, keeping the row number.
    QStringList whileOpen;  // the list as each report opens
    f.platform.fakeDialogs.whileOpen = [&](const auto&) {
      whileOpen << f.listNames().join(",");
      if (whileOpen.size() == 1) w.Timer2_Timer();
    };
    for (int tick = 0; tick < 4; ++tick) w.Timer2_Timer();
    QCOMPARE(whileOpen, QStringList{"Ann,Bob,Cleo"});
    const platform::Message& m = f.platform.fakeDialogs.shown.at(0);
    QCOMPARE(m.text + " | " + m.title, kChanged + " | File has been changed");
    QVERIFY(m.icon == platform::Icon::None && m.buttons == platform::Buttons::Ok);
    QCOMPARE(f.listNames(), (QStringList{"Abe", "Ann", "Bob", "Cleo"}));
    QCOMPARE(f.listIndex(), 1);

    // A vanished file: reported every second tick (each reload is our own); row 3 is gone.
    w.List1->setListIndex(3);
    QVERIFY(QFile::remove(f.env.workPath(kDataFileName)));
    for (int tick = 0; tick < 6; ++tick) w.Timer2_Timer();
    QCOMPARE(whileOpen, (QStringList{"Ann,Bob,Cleo", "Abe,Ann,Bob,Cleo", "", ""}));
    QCOMPARE(f.listIndex(), -1);
  }

  // Two copies on one working directory, own configurations: each reports the other's save only.
  void twoWindowsOnOneFolder() {
    test::MainformFixture f;
    f.writeDataFile({recordLine("Ann")});
    auto& first = f.start();
    QTemporaryDir otherConfig;
    platform::FakePlatform otherPlatform(otherConfig.path());
    main_window::Mainform second(otherPlatform);
    second.Form_Load();
    // A save as the editing code does it, a second after the state both loaded, between ticks.
    const auto save = [&](main_window::Mainform& w, const QString& name) {
      const QDateTime loaded = QFileInfo(f.env.workPath(kDataFileName)).lastModified();
      for (auto* copy : {&first, &second}) copy->Timer2_Timer();
      QVERIFY(w.store().SaveAll(recordLine(name)));
      test::setModificationTime(f.env.workPath(kDataFileName), loaded.addSecs(1));
      w.SortFile();
      for (auto* copy : {&first, &second, &first, &second}) copy->Timer2_Timer();
    };
    save(first, "Bob");
    save(second, "Cleo");
    QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{kChanged});
    QCOMPARE(otherPlatform.fakeDialogs.texts(), QStringList{kChanged});
    QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
  }
};

QTEST_MAIN(ChangeWatcherTest)
#include "test_change_watcher.moc"
