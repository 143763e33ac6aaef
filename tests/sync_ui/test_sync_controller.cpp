// When the window syncs and what it tells the user, with a scripted sync and the clock in the
// test's hand.
#include <sys/stat.h>

#include <QtTest>

#include "fake_sync_runner.h"
#include "platform/fake/fake_platform.h"
#include "support/fake_record_view.h"
#include "support/test_env.h"
#include "sync/sync_settings.h"
#include "sync_ui/sync_controller.h"

using namespace tavelin;
using sync::DavOutcome;
using sync::SyncSummary;
using sync_ui::SyncController;

Q_DECLARE_METATYPE(tavelin::sync::SyncOutcome)

namespace {

// One window's sync: a fake platform with a configured account and a password in the store.
struct Rig {
  explicit Rig(int interval = 15, bool configured = true)
      : platform(env.configRoot()), controller(platform, view, u"TAVELIN.FIL"_qs, {}) {
    controller.setRunnerFactory(runners.factory());
    if (configured) {
      settings.url = u"https://dav.example.org/ann/book/"_qs;
      settings.user = u"ann"_qs;
      settings.intervalMinutes = interval;
      sync::writeSyncSettings(platform.fakeSettings, settings);
      platform.fakeSecrets.secrets.insert(storeKey(), u"secret"_qs);
    }
  }
  QString storeKey() const {
    return platform::FakeSecretStore::key(sync::kSecretService, settings.secretAccount());
  }
  void after(int seconds) {
    platform.fakeClock.time = platform.fakeClock.time.addSecs(seconds);
    controller.tick();
  }
  // Ends the running sync and lets its runner go.
  void end(const sync::SyncOutcome& outcome) {
    QVERIFY(runners.last() && runners.last()->isRunning());
    runners.last()->end(outcome);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  test::TestEnvironment env;
  platform::FakePlatform platform;
  test::FakeRecordView view;
  test::FakeRunners runners;
  sync::SyncSettings settings;
  SyncController controller;
};

}  // namespace

class TestSyncController : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void nothingWithoutAnAccount() {
    Rig rig(15, false);
    rig.controller.begin();
    rig.after(1);
    ChangeSet saved;
    saved.added << u"line"_qs;
    rig.controller.changesApplied(saved);
    rig.after(3600);
    QCOMPARE(rig.runners.made.size(), size_t(0));
    QVERIFY(rig.platform.fakeDialogs.shown.empty());
    QVERIFY(rig.platform.fakeDialogs.passwordPrompts.isEmpty());
    // Asked for, it says why not.
    rig.controller.syncNow();
    QCOMPARE(rig.runners.made.size(), size_t(0));
    QCOMPARE(rig.platform.fakeDialogs.shown.size(), size_t(1));
    QVERIFY(rig.platform.fakeDialogs.shown[0].text.contains(u"Server account"_qs));
  }

  void atStartThenEveryInterval_data() {
    QTest::addColumn<int>("interval");
    QTest::newRow("every 15 minutes") << 15;
    QTest::newRow("every minute") << 1;
    QTest::newRow("only on demand") << 0;
  }
  void atStartThenEveryInterval() {
    QFETCH(int, interval);
    Rig rig(interval);
    rig.controller.begin();
    QCOMPARE(rig.runners.made.size(), size_t(0));  // the window shows first
    rig.after(1);
    QCOMPARE(rig.runners.started(), 1);
    QCOMPARE(rig.runners.dataFiles, QStringList{"TAVELIN.FIL"});
    rig.end(test::succeeded());
    if (interval == 0) {
      QVERIFY(!rig.controller.nextSync());
      rig.after(24 * 3600);
      QCOMPARE(rig.runners.started(), 1);
      return;
    }
    rig.after(interval * 60 - 2);
    QCOMPARE(rig.runners.started(), 1);
    rig.after(2);
    QCOMPARE(rig.runners.started(), 2);
  }

  // One at a time: a save or a request during a sync starts no second one; the save calls for
  // another once it is over.
  void aFewSecondsAfterASave() {
    Rig rig(0);
    ChangeSet saved;
    saved.replaced << ChangeSet::Replacement{u"a"_qs, u"b"_qs};
    rig.controller.changesApplied(saved);
    rig.after(SyncController::kAfterSaveSeconds - 1);
    QCOMPARE(rig.runners.started(), 0);
    rig.after(1);
    QCOMPARE(rig.runners.started(), 1);
    rig.controller.changesApplied(saved);
    rig.controller.syncNow();
    rig.after(SyncController::kAfterSaveSeconds + 1);
    QCOMPARE(rig.runners.made.size(), size_t(1));
    QVERIFY(rig.controller.isRunning());
    rig.end(test::succeeded());
    QVERIFY(!rig.controller.isRunning());
    rig.after(SyncController::kAfterSaveSeconds);
    QCOMPARE(rig.runners.started(), 2);
    rig.end(test::succeeded());
    rig.controller.syncNow();
    QCOMPARE(rig.runners.made.size(), size_t(3));
  }

  void quietUnlessNeeded_data() {
    QTest::addColumn<sync::SyncOutcome>("outcome");
    QTest::addColumn<QString>("told");  // a text the one message holds; empty: none
    QTest::addColumn<int>("reloads");
    // Summaries: added, changed, removed here; added, changed, removed there; conflicts.
    const SyncSummary conflict{0, 1, 0, 0, 0, 0, 1};
    QTest::newRow("only sent") << test::succeeded({0, 0, 0, 3, 1, 0, 0}) << QString() << 0;
    QTest::newRow("fetched: quiet, shown at once")
        << test::succeeded({2, 0, 1, 0, 0, 0, 0}) << QString() << 1;
    QTest::newRow("a conflict is told with the summary")
        << test::succeeded(conflict) << sync::summaryLine(conflict) << 1;
    const QString down = u"dav.example.org: unreachable"_qs;
    QTest::newRow("an error") << test::failedWith(DavOutcome::NetworkError, down) << down << 0;
    sync::SyncOutcome partial = test::failedWith(DavOutcome::TimedOut, down);
    partial.summary.addedHere = 4;
    QTest::newRow("an error after part of the work: told, and the part shown")
        << partial << down << 1;
  }
  void quietUnlessNeeded() {
    QFETCH(sync::SyncOutcome, outcome);
    QFETCH(QString, told);
    QFETCH(int, reloads);
    Rig rig;
    rig.controller.begin();
    rig.after(1);
    rig.end(outcome);
    const auto& shown = rig.platform.fakeDialogs.shown;
    QCOMPARE(shown.size(), size_t(told.isEmpty() ? 0 : 1));
    if (!told.isEmpty()) QVERIFY2(shown[0].text.contains(told), qPrintable(shown[0].text));
    QCOMPARE(rig.view.reloads, reloads);
    QVERIFY(rig.platform.fakeDialogs.passwordPrompts.isEmpty());
  }

  // A server that is down all afternoon is told once, unless the user asks.
  void theSameErrorToldOnce() {
    Rig rig(1);
    const auto down = test::failedWith(DavOutcome::NetworkError, u"s: down"_qs);
    rig.controller.begin();
    rig.after(1);
    rig.end(down);
    rig.after(60);
    rig.end(down);
    QCOMPARE(rig.platform.fakeDialogs.shown.size(), size_t(1));
    rig.controller.syncNow();
    rig.end(down);
    QCOMPARE(rig.platform.fakeDialogs.shown.size(), size_t(2));
    // Once it worked again, the next failure is news.
    rig.after(60);
    rig.end(test::succeeded());
    rig.after(60);
    rig.end(down);
    QCOMPARE(rig.platform.fakeDialogs.shown.size(), size_t(3));
  }

  void aWrongPasswordIsAskedAgain_data() {
    QTest::addColumn<bool>("answered");
    QTest::newRow("a new password") << true;
    QTest::newRow("cancelled") << false;
  }
  void aWrongPasswordIsAskedAgain() {
    QFETCH(bool, answered);
    Rig rig(1);
    if (answered) rig.platform.fakeDialogs.passwordAnswers.push_back(u"right"_qs);
    rig.controller.syncNow();
    rig.end(test::failedWith(DavOutcome::AuthenticationFailed,
                             u"dav.example.org: the server refused the user name"_qs));
    QCOMPARE(rig.platform.fakeDialogs.passwordPrompts.size(), 1);
    QVERIFY(rig.platform.fakeDialogs.passwordPrompts[0].contains(u"refused"_qs));
    QVERIFY(rig.platform.fakeDialogs.shown.empty());
    if (answered) {
      QCOMPARE(rig.runners.started(), 2);  // again at once, with the new password
      QCOMPARE(rig.platform.fakeSecrets.secrets.value(rig.storeKey()), u"right"_qs);
      return;
    }
    QCOMPARE(rig.runners.started(), 1);
    // No sync by itself keeps asking; the menu does.
    rig.after(3600);
    QCOMPARE(rig.runners.started(), 1);
    rig.controller.syncNow();
    QCOMPARE(rig.runners.started(), 2);
  }

  // Asked once: kept in the secret store, or where there is none, for this run.
  void aMissingPasswordIsAskedOnce_data() {
    QTest::addColumn<bool>("backend");
    QTest::newRow("not in the store") << true;
    QTest::newRow("without a secret store") << false;
  }
  void aMissingPasswordIsAskedOnce() {
    QFETCH(bool, backend);
    Rig rig(1);
    rig.platform.fakeSecrets.secrets.clear();
    rig.platform.fakeSecrets.backend = backend;
    rig.platform.fakeDialogs.passwordAnswers.push_back(u"typed"_qs);
    rig.controller.begin();
    rig.after(1);
    QCOMPARE(rig.platform.fakeDialogs.passwordPrompts.size(), 1);
    QVERIFY(rig.platform.fakeDialogs.passwordPrompts[0].contains(u"ann"_qs));
    rig.end(test::succeeded());
    rig.after(60);
    rig.end(test::succeeded());
    QCOMPARE(rig.runners.started(), 2);
    QCOMPARE(rig.platform.fakeDialogs.passwordPrompts.size(), 1);
    QCOMPARE(rig.platform.fakeSecrets.secrets.value(rig.storeKey()),
             backend ? u"typed"_qs : QString());
  }

  void aPasswordFileOthersMayReadIsRefused() {
    Rig rig;
    const QString file = rig.env.workPath(u"pw"_qs);
    test::writeFile(file, "secret\n");
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0644), 0);
    rig.settings.passwordFile = file;
    sync::writeSyncSettings(rig.platform.fakeSettings, rig.settings);
    rig.controller.syncNow();
    QCOMPARE(rig.runners.made.size(), size_t(0));
    QCOMPARE(rig.platform.fakeDialogs.shown.size(), size_t(1));
    QVERIFY(rig.platform.fakeDialogs.shown[0].text.startsWith(file));
    QVERIFY(rig.platform.fakeDialogs.passwordPrompts.isEmpty());
    // A wrong password from the file is an error to fix there, not a question.
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    rig.controller.syncNow();
    rig.end(test::failedWith(DavOutcome::AuthenticationFailed, u"s: refused"_qs));
    QVERIFY(rig.platform.fakeDialogs.passwordPrompts.isEmpty());
    QCOMPARE(rig.platform.fakeDialogs.shown.size(), size_t(2));
  }

  // An edit in progress keeps its fields; the list follows once it is over.
  void theReloadWaitsForTheEdit_data() {
    QTest::addColumn<bool>("adding");
    QTest::newRow("editing") << false;
    QTest::newRow("adding") << true;
  }
  void theReloadWaitsForTheEdit() {
    QFETCH(bool, adding);
    Rig rig;
    rig.view.editing = !adding;
    rig.view.adding = adding;
    rig.view.cancelShown = true;
    rig.controller.syncNow();
    SyncSummary fetched;
    fetched.changedHere = 1;
    rig.end(test::succeeded(fetched));
    rig.after(1);
    QCOMPARE(rig.view.reloads, 0);
    rig.view.editing = rig.view.adding = rig.view.cancelShown = false;
    rig.after(1);
    QCOMPARE(rig.view.reloads, 1);
    rig.after(1);
    QCOMPARE(rig.view.reloads, 1);
  }
};

QTEST_GUILESS_MAIN(TestSyncController)
#include "test_sync_controller.moc"
