// The window's part of the sync: the Extra menu's two items and their mode policy, the title
// during a sync, a save calling for one, and what a sync brought shown at once without the
// change watcher's report. When and how the sync runs is the controller's tests'.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QTest>

#include "fake_sync_runner.h"
#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "record_store/paths.h"
#include "sync/sync_settings.h"
#include "sync_ui/sync_controller.h"

using namespace tavelin;
using test::recordLine;

namespace {

// An account with its password, and the fake sync plugged in before start-up.
main_window::Mainform& startSyncing(test::MainformFixture& f, test::FakeRunners& runners,
                                    int interval = 15) {
  sync::SyncSettings account;
  account.url = QStringLiteral("https://dav.example.org/ann/book/");
  account.user = QStringLiteral("ann");
  account.intervalMinutes = interval;
  sync::writeSyncSettings(f.platform.fakeSettings, account);
  f.platform.fakeSecrets.secrets.insert(
      platform::FakeSecretStore::key(sync::kSecretService, account.secretAccount()),
      QStringLiteral("secret"));
  f.syncRunners = runners.factory();
  return f.start();
}

void after(test::MainformFixture& f, int seconds) {
  f.platform.fakeClock.time = f.platform.fakeClock.time.addSecs(seconds);
  f.window->syncController().tick();
}

}  // namespace

class SyncWiringTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void menuItems() {
    test::MainformFixture f;
    auto& w = f.start();
    QAction* now = w.menuItem("mnuSync");
    QAction* account = w.menuItem("mnuAccount");
    QVERIFY(now && account);
    QCOMPARE(now->text(), QStringLiteral("Synchronise with &server"));
    QCOMPARE(account->text(), QStringLiteral("Server &account..."));
    // In the Extra menu, between the attachments and the options, set apart by separators.
    QMenu* extra = qobject_cast<QMenu*>(now->associatedObjects().value(0));
    QVERIFY(extra);
    const QList<QAction*> items = extra->actions();
    const qsizetype at = items.indexOf(now);
    QCOMPARE(items.value(at - 2), w.menuItem("mnuKillAll"));
    QVERIFY(items.value(at - 1)->isSeparator());
    QCOMPARE(items.value(at + 1), account);
    QVERIFY(items.value(at + 2)->isSeparator());
    QCOMPARE(items.value(at + 3), w.menuItem("mnuOptions"));
    // Its key is no other item's.
    int same = 0;
    for (QAction* action : w.findChildren<QAction*>())
      same += action->shortcut() == now->shortcut();
    QVERIFY(!now->shortcut().isEmpty());
    QCOMPARE(same, 1);

    // A sync now in browse mode only; the account at any time, as the options.
    w.Timer1_Timer();
    QVERIFY(now->isEnabled() && account->isEnabled());
    w.AddRecord();
    w.Timer1_Timer();
    QVERIFY(!now->isEnabled() && account->isEnabled());
  }

  void noAccountNothingRuns() {
    test::MainformFixture f;
    test::FakeRunners runners;
    f.syncRunners = runners.factory();
    f.start();
    after(f, 3600);
    QCOMPARE(runners.made.size(), size_t(0));
    QVERIFY(f.platform.fakeDialogs.shown.empty());
  }

  void progressInTheTitle() {
    test::MainformFixture f;
    test::FakeRunners runners;
    auto& w = startSyncing(f, runners);
    after(f, 1);
    QVERIFY(runners.last());
    QCOMPARE(runners.dataFiles.last(), kDataFileName);
    runners.last()->report(1200, 15000);
    w.Timer1_Timer();
    QVERIFY2(w.windowTitle().endsWith(QLatin1String(" - Synchronising 1200/15000")),
             qPrintable(w.windowTitle()));
    runners.last()->end(test::succeeded());
    w.Timer1_Timer();
    QVERIFY(!w.windowTitle().contains(QLatin1String("Synchronising")));
  }

  // The sync saved the file as another copy would: the list shows it at once, the same contact
  // stays selected, and the change watcher has nothing to report.
  void whatTheSyncBroughtIsShownAtOnce() {
    test::MainformFixture f;
    f.writeDataFile({recordLine("Ann"), recordLine("Cleo")});
    test::FakeRunners runners;
    auto& w = startSyncing(f, runners);
    w.frmOptions().chkMulti->setChecked(true);
    w.List1->setListIndex(1);  // Cleo
    after(f, 1);
    f.writeDataFile({recordLine("Ann"), recordLine("Bob"), recordLine("Cleo")});
    sync::SyncSummary summary;
    summary.addedHere = 1;
    runners.last()->end(test::succeeded(summary));
    QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
    QCOMPARE(f.fieldTexts().first(), QStringLiteral("Cleo"));
    w.Timer2_Timer();
    w.Timer2_Timer();
    QVERIFY(f.platform.fakeDialogs.shown.empty());
  }

  // An edit in progress keeps what is typed; the list follows once it is saved.
  void anEditInProgressIsLeftAlone() {
    test::MainformFixture f;
    f.writeDataFile({recordLine("Ann"), recordLine("Cleo")});
    test::FakeRunners runners;
    auto& w = startSyncing(f, runners);
    after(f, 1);
    w.List1->setListIndex(0);
    QTest::mouseClick(w.Command2, Qt::LeftButton);  // edit Ann
    w.Text[0]->setText("Anna");
    f.writeDataFile({recordLine("Ann"), recordLine("Bob"), recordLine("Cleo")});
    sync::SyncSummary summary;
    summary.addedHere = 1;
    runners.last()->end(test::succeeded(summary));
    after(f, 1);
    QCOMPARE(w.Text[0]->text(), QStringLiteral("Anna"));
    QVERIFY(w.Editing);
    QTest::mouseClick(w.Command2, Qt::LeftButton);  // save
    QCOMPARE(f.listNames(), (QStringList{"Anna", "Bob", "Cleo"}));
    // The save calls for the next sync a few seconds later.
    QCOMPARE(w.syncController().nextSync(),
             f.platform.fakeClock.time.addSecs(sync_ui::SyncController::kAfterSaveSeconds));
  }
};

QTEST_MAIN(SyncWiringTest)
#include "test_sync_wiring.moc"
