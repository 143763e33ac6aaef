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

namespace {

struct Run {
  int code = -1;
  QString out, err;
  int runners = 0;
};

}  // namespace

class TestSyncCommand : public QObject {
  Q_OBJECT

 private:
  // The account: "url" empty for none; "password" in the store unless "file" names a mode.
  Run run(const QStringList& args, const QString& url, int fileMode, bool inStore,
          const std::optional<sync::SyncOutcome>& outcome, bool canSync = true) {
    test::TestEnvironment env;
    platform::FakeSettingsStore settings;
    platform::FakeSecretStore secrets;
    sync::SyncSettings account;
    account.url = url;
    account.user = QStringLiteral("ann");
    if (fileMode != 0) {
      account.passwordFile = env.workPath(QStringLiteral("pw"));
      test::writeFile(account.passwordFile, "s3cret\n");
      ::chmod(QFile::encodeName(account.passwordFile).constData(), mode_t(fileMode));
    }
    sync::writeSyncSettings(settings, account);
    if (inStore) {
      secrets.secrets.insert(
          platform::FakeSecretStore::key(sync::kSecretService, account.secretAccount()),
          QStringLiteral("s3cret"));
    }
    test::FakeRunners runners;
    runners.onMade = [outcome](test::FakeSyncRunner& runner) {
      if (!outcome) return;
      QTimer::singleShot(0, &runner, [&runner, outcome] { runner.end(*outcome); });
    };
    const app::SyncServices services{settings, secrets,
                                     canSync ? runners.factory() : sync::SyncRunnerFactory()};
    Run r;
    QTextStream out(&r.out), err(&r.err);
    r.code = app::runCommandLine(args, env.configRoot(), out, err, &services);
    out.flush();
    err.flush();
    r.runners = int(runners.made.size());
    if (r.runners > 0) lastDataFile_ = runners.dataFiles.last();
    return r;
  }
  QString lastDataFile_;

 private Q_SLOTS:
  void sync_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<bool>("inStore");
    QTest::addColumn<bool>("canSync");
    QTest::addColumn<sync::SyncOutcome>("outcome");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");  // what the one line on standard error starts with
    const QString url = QStringLiteral("https://dav.example.org/ann/book/");
    sync::SyncSummary summary;
    summary.addedHere = 2;
    summary.changedThere = 1;
    summary.conflicts = 1;
    QTest::newRow("done") << url << 0 << true << true << test::succeeded(summary) << 0
                          << sync::summaryLine(summary) + u'\n' << QString();
    QTest::newRow("done with the password file")
        << url << 0600 << false << true << test::succeeded() << 0 << sync::summaryLine({}) + u'\n'
        << QString();
    QTest::newRow("failed") << url << 0 << true << true
                            << test::failedWith(DavOutcome::AuthenticationFailed,
                                                "dav.example.org: the server refused the user")
                            << 1 << QString() << "dav.example.org: the server refused the user\n";
    QTest::newRow("no account") << QString() << 0 << true << true << test::succeeded() << 1
                                << QString() << "tavelin: no server account is set up";
    QTest::newRow("no password anywhere") << url << 0 << false << true << test::succeeded() << 1
                                          << QString() << "dav.example.org: no password for ann";
    QTest::newRow("a password file others may read")
        << url << 0640 << true << true << test::succeeded() << 1 << QString() << "<file>: ";
    QTest::newRow("a build without the sync") << url << 0 << true << false << test::succeeded() << 1
                                              << QString() << "tavelin: this build cannot";
  }
  void sync() {
    QFETCH(QString, url);
    QFETCH(int, fileMode);
    QFETCH(bool, inStore);
    QFETCH(bool, canSync);
    QFETCH(sync::SyncOutcome, outcome);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run r = run({QStringLiteral("--sync")}, url, fileMode, inStore, outcome, canSync);
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, out);
    if (err.isEmpty()) {
      QCOMPARE(r.err, QString());
    } else {
      QCOMPARE(r.err.count(u'\n'), 1);
      QVERIFY(r.err.endsWith(u'\n'));
      if (err.startsWith(QLatin1String("<file>"))) {
        QVERIFY2(r.err.contains(QLatin1String("/pw: ")), qPrintable(r.err));
      } else {
        QVERIFY2(r.err.startsWith(err), qPrintable(r.err));
      }
    }
    QVERIFY(!r.out.contains(QLatin1String("s3cret")) && !r.err.contains(QLatin1String("s3cret")));
    // A sync runs only with an account, a password and a runner.
    QCOMPARE(r.runners, int(code == 0 || r.err.startsWith(QLatin1String("dav.example.org: the"))));
    if (r.runners > 0) QCOMPARE(lastDataFile_, QStringLiteral("TAVELIN.FIL"));
  }

  void usage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("--sync with a file") << QStringList{"--sync", "x.vcf"};
    QTest::newRow("--sync and --import") << QStringList{"--import", "x.vcf", "--sync"};
    QTest::newRow("--sync twice") << QStringList{"--sync", "--sync"};
  }
  void usage() {
    QFETCH(QStringList, args);
    const Run r = run(args, QStringLiteral("https://dav.example.org/"), 0, true, test::succeeded());
    QCOMPARE(r.code, 2);
    QCOMPARE(r.runners, 0);
    QVERIFY(r.err.startsWith(QLatin1String("tavelin: ")));
  }

  void helpNamesIt() {
    test::TestEnvironment env;
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(app::runCommandLine({QStringLiteral("--help")}, env.configRoot(), o, e), 0);
    o.flush();
    QVERIFY2(out.contains(QLatin1String("tavelin --sync")), qPrintable(out));
    // Without the services (a caller that cannot sync) it fails rather than pretends.
    QCOMPARE(app::runCommandLine({QStringLiteral("--sync")}, env.configRoot(), o, e), 1);
  }
};

QTEST_GUILESS_MAIN(TestSyncCommand)
#include "test_sync_command.moc"
