// `tavelin --sync`: its lines and exit codes, with a scripted sync.
#include <sys/stat.h>

#include <QTimer>
#include <QtTest>

#include "app/command_line.h"
#include "app/sync_command.h"
#include "fake_sync_runner.h"
#include "platform/fake/fake_platform.h"
#include "support/test_env.h"
#include "sync/sync_settings.h"

using namespace tavelin;
using sync::DavOutcome;

Q_DECLARE_METATYPE(tavelin::sync::SyncOutcome)

class TestSyncCommand : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // The account: "url" empty for none; the password in the store, or in a file of "fileMode".
  void sync_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("fileMode");  // 0: no password file
    QTest::addColumn<bool>("inStore");
    QTest::addColumn<bool>("canSync");
    QTest::addColumn<sync::SyncOutcome>("outcome");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");  // what standard error starts with
    const QString url = u"https://dav.example.org/ann/book/"_qs;
    const auto row = [&url](const char* name, const sync::SyncOutcome& outcome, int code,
                            const QString& out, const QString& err, bool hasUrl = true,
                            int fileMode = 0, bool inStore = true, bool canSync = true,
                            const QStringList& args = {u"--sync"_qs}) {
      QTest::newRow(name) << args << (hasUrl ? url : QString()) << fileMode << inStore << canSync
                          << outcome << code << out << err;
    };
    const sync::SyncSummary summary{2, 0, 0, 0, 1, 0, 1};
    row("done", test::succeeded(summary), 0, sync::summaryLine(summary) + u'\n', {});
    row("done with the password file", test::succeeded(), 0, sync::summaryLine({}) + u'\n', {},
        true, 0600, false);
    const QString refused = u"dav.example.org: the server refused the user\n"_qs;
    row("failed", test::failedWith(DavOutcome::AuthenticationFailed, refused.trimmed()), 1, {},
        refused);
    row("no account", test::succeeded(), 1, {}, u"tavelin: no server account is set up"_qs, false);
    row("no password anywhere", test::succeeded(), 1, {},
        u"dav.example.org: no password for ann"_qs, true, 0, false);
    row("a password file others may read", test::succeeded(), 1, {}, u"<file>: "_qs, true, 0640);
    row("a build without the sync", test::succeeded(), 1, {}, u"tavelin: this build cannot"_qs,
        true, 0, true, false);
    for (const QStringList& args :
         {QStringList{"--sync", "x.vcf"}, QStringList{"--import", "x.vcf", "--sync"},
          QStringList{"--sync", "--sync"}}) {
      row(qPrintable(u"usage: "_qs + args.join(u' ')), test::succeeded(), 2, {}, u"tavelin: "_qs,
          true, 0, true, true, args);
    }
  }
  void sync() {
    QFETCH(QStringList, args);
    QFETCH(QString, url);
    QFETCH(int, fileMode);
    QFETCH(bool, inStore);
    QFETCH(bool, canSync);
    QFETCH(sync::SyncOutcome, outcome);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    test::TestEnvironment env;
    platform::FakeSettingsStore settings;
    platform::FakeSecretStore secrets;
    sync::SyncSettings account;
    account.url = url;
    account.user = u"ann"_qs;
    if (fileMode != 0) {
      account.passwordFile = env.workPath(u"pw"_qs);
      test::writeFile(account.passwordFile, "s3cret\n");
      ::chmod(QFile::encodeName(account.passwordFile).constData(), mode_t(fileMode));
    }
    sync::writeSyncSettings(settings, account);
    if (inStore) {
      secrets.secrets.insert(
          platform::FakeSecretStore::key(sync::kSecretService, account.secretAccount()),
          u"s3cret"_qs);
    }
    test::FakeRunners runners;
    runners.onMade = [outcome](test::FakeSyncRunner& runner) {
      QTimer::singleShot(0, &runner, [&runner, outcome] { runner.end(outcome); });
    };
    const app::SyncServices services{settings, secrets,
                                     canSync ? runners.factory() : sync::SyncRunnerFactory()};
    QString printed, told;
    QTextStream o(&printed), e(&told);
    QCOMPARE(app::runCommandLine(args, env.configRoot(), o, e, &services), code);
    o.flush();
    e.flush();
    QCOMPARE(printed, out);
    QCOMPARE(told.isEmpty(), err.isEmpty());
    if (code == 1) QCOMPARE(told.count(u'\n'), 1);
    if (err.startsWith(u"<file>"_qs)) {
      QVERIFY2(told.contains(u"/pw: "_qs), qPrintable(told));
    } else {
      QVERIFY2(told.startsWith(err), qPrintable(told));
    }
    QVERIFY(!printed.contains(u"s3cret"_qs) && !told.contains(u"s3cret"_qs));
    // A sync runs only with an account, a password and a runner.
    QCOMPARE(runners.made.size(), size_t(code == 0 || told.startsWith(u"dav.example.org: the"_qs)));
    if (!runners.made.empty()) QCOMPARE(runners.dataFiles, QStringList{u"TAVELIN.FIL"_qs});
  }

  void helpNamesIt() {
    test::TestEnvironment env;
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(app::runCommandLine({u"--help"_qs}, env.configRoot(), o, e), 0);
    o.flush();
    QVERIFY2(out.contains(u"tavelin --sync"_qs), qPrintable(out));
    // Without the services (a caller that cannot sync) it fails rather than pretends.
    QCOMPARE(app::runCommandLine({u"--sync"_qs}, env.configRoot(), o, e), 1);
  }
};

QTEST_GUILESS_MAIN(TestSyncCommand)
#include "test_sync_command.moc"
