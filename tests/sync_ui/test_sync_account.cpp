// The sync account's settings and where its password comes from.
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/fake/fake_platform.h"
#include "platform/qt/qt_settings_store.h"
#include "support/test_env.h"
#include "sync/password_file.h"
#include "sync/password_lookup.h"
#include "sync/sync_settings.h"

using namespace tavelin;
using sync::PasswordLookup;
using sync::SyncSettings;

Q_DECLARE_METATYPE(tavelin::sync::SyncSettings)

class TestSyncAccount : public QObject {
  Q_OBJECT

 private:
  QString passwordFile(const QByteArray& bytes, mode_t mode) {
    const QString path = dir_.filePath(QStringLiteral("pw%1").arg(++files_));
    test::writeFile(path, bytes);
    if (::chmod(QFile::encodeName(path).constData(), mode) != 0) return {};
    return path;
  }
  QTemporaryDir dir_;
  int files_ = 0;

 private Q_SLOTS:
  void settingsRoundTrip_data() {
    QTest::addColumn<SyncSettings>("settings");
    SyncSettings plain;
    plain.url = QStringLiteral("https://dav.example.org/ann/contacts/");
    plain.user = QStringLiteral("ann");
    QTest::newRow("address book, default interval") << plain;
    SyncSettings all = plain;
    all.url = QStringLiteral("http://nas.home:5232/");
    all.intervalMinutes = 0;
    all.passwordFile = QStringLiteral("/home/ann/.config/tavelin-dav, with comma");
    all.trustedSha256 = QByteArray(64, 'a');
    all.plainHttpHost = QStringLiteral("nas.home:5232");
    QTest::newRow("every key, interval 0, a comma in a value") << all;
    SyncSettings none;
    QTest::newRow("nothing set up") << none;
  }
  void settingsRoundTrip() {
    QFETCH(SyncSettings, settings);
    platform::FakeSettingsStore store;
    QVERIFY(sync::writeSyncSettings(store, settings));
    QCOMPARE(sync::readSyncSettings(store), settings);
    // The password has no key of its own.
    for (const QString& key : store.values.keys()) {
      QVERIFY2(!key.contains(QLatin1String("assword")) || key.endsWith(QLatin1String("File")),
               qPrintable(key));
    }
  }

  // The real file: Tavelin.ini under XDG_CONFIG_HOME, other groups left as they were.
  void settingsInTheIniFile() {
    test::TestEnvironment env;
    const QString ini = env.configRoot() + QStringLiteral("/Tavelin/Tavelin.ini");
    QDir().mkpath(env.configRoot() + QStringLiteral("/Tavelin"));
    test::writeFile(ini, "[Platform]\nEditor=kate\n");
    platform::QtSettingsStore qt;
    SyncSettings s;
    s.url = QStringLiteral("https://dav.example.org/");
    s.user = QStringLiteral("ann");
    s.intervalMinutes = 30;
    QVERIFY(sync::writeSyncSettings(qt, s));
    QCOMPARE(sync::readSyncSettings(qt), s);
    const QByteArray text = test::readFile(ini);
    QVERIFY2(text.contains("[CardDAV]") && text.contains("Interval=30"), text.constData());
    QCOMPARE(qt.value(QStringLiteral("Platform"), QStringLiteral("Editor")),
             QStringLiteral("kate"));
  }

  void interval_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minutes");
    QTest::newRow("missing") << QString() << 15;
    QTest::newRow("zero") << QStringLiteral("0") << 0;
    QTest::newRow("blanks") << QStringLiteral(" 45 ") << 45;
    QTest::newRow("not a number") << QStringLiteral("soon") << 15;
    QTest::newRow("negative") << QStringLiteral("-5") << 0;
    QTest::newRow("past a day") << QStringLiteral("100000") << 1440;
    QTest::newRow("past int") << QStringLiteral("99999999999") << 15;
  }
  void interval() {
    QFETCH(QString, text);
    QFETCH(int, minutes);
    platform::FakeSettingsStore store;
    if (!text.isNull()) store.values.insert(QStringLiteral("CardDAV/Interval"), text);
    QCOMPARE(sync::readSyncSettings(store).intervalMinutes, minutes);
  }

  void serverAndConsent_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("needsConsent");
    QTest::addColumn<QString>("account");
    const auto row = [](const char* name, const char* typed, const char* url, bool consent,
                        const char* account) {
      QTest::newRow(name) << QString(typed) << QString(url) << consent << QString(account);
    };
    row("address only", "dav.example.org", "https://dav.example.org", false, "ann@dav.example.org");
    row("https with port", "https://dav.example.org:8443/ann/", "https://dav.example.org:8443/ann/",
        false, "ann@dav.example.org:8443");
    row("http to another machine", "http://nas.home:5232/", "http://nas.home:5232/", true,
        "ann@nas.home:5232");
    row("http to loopback", "http://127.0.0.1:5232/", "http://127.0.0.1:5232/", false,
        "ann@127.0.0.1:5232");
    row("http to localhost", "http://LOCALHOST/", "http://localhost/", false, "ann@localhost");
    row("http to IPv6 loopback", "http://[::1]:5232/", "http://[::1]:5232/", false, "ann@::1:5232");
    row("http to a private address", "http://192.168.1.2/", "http://192.168.1.2/", true,
        "ann@192.168.1.2");
  }
  void serverAndConsent() {
    QFETCH(QString, typed);
    QFETCH(QString, url);
    QFETCH(bool, needsConsent);
    QFETCH(QString, account);
    SyncSettings s;
    s.url = typed;
    s.user = QStringLiteral("ann");
    QCOMPARE(s.serverUrl(), QUrl(url));
    QCOMPARE(sync::needsPlainHttpConsent(s.serverUrl()), needsConsent);
    QCOMPARE(s.secretAccount(), account);
    // A yes is for the one server it named.
    s.plainHttpHost = sync::serverKey(s.serverUrl());
    QVERIFY(s.allowsPlainHttp());
    s.plainHttpHost = QStringLiteral("other.example.org");
    QVERIFY(!s.allowsPlainHttp());
  }

  void passwordFileModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("read");
    QTest::newRow("600") << 0600 << true;
    QTest::newRow("400") << 0400 << true;
    QTest::newRow("640: the group may read") << 0640 << false;
    QTest::newRow("604: anyone may read") << 0604 << false;
    QTest::newRow("620: the group may write") << 0620 << false;
    QTest::newRow("602: anyone may write") << 0602 << false;
    QTest::newRow("200: not even the owner may read") << 0200 << false;
  }
  void passwordFileModes() {
    QFETCH(int, mode);
    QFETCH(bool, read);
    const QString path = passwordFile("s3cret\n", mode_t(mode));
    QVERIFY(!path.isEmpty());
    const sync::PasswordFileRead got = sync::readPasswordFile(path);
    QCOMPARE(got.password.has_value(), read);
    if (read) {
      QCOMPARE(*got.password, QStringLiteral("s3cret"));
      QVERIFY(got.error.isEmpty());
    } else {
      QVERIFY2(got.error.startsWith(path + QStringLiteral(": ")), qPrintable(got.error));
      QVERIFY(!got.error.contains(QLatin1String("s3cret")));
    }
  }

  void passwordFileContents_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("password");  // null: refused
    QTest::newRow("one line end") << QByteArray("pw\n") << "pw";
    QTest::newRow("CR LF") << QByteArray("pw\r\n") << "pw";
    QTest::newRow("no line end") << QByteArray("pw") << "pw";
    QTest::newRow("only one line end dropped") << QByteArray("pw\n\n") << "pw\n";
    QTest::newRow("blanks kept") << QByteArray(" p w \n") << " p w ";
    QTest::newRow("UTF-8") << QByteArray("gr\xc3\xbc\xc3\x9f\n") << QStringLiteral("grüß");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("only a line end") << QByteArray("\n") << QString();
    QTest::newRow("far too large") << QByteArray(100000, 'x') << QString();
  }
  void passwordFileContents() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, password);
    const QString path = passwordFile(bytes, 0600);
    const sync::PasswordFileRead got = sync::readPasswordFile(path);
    QCOMPARE(got.password.has_value(), !password.isNull());
    if (got.password) QCOMPARE(*got.password, password);
  }

  void passwordFileThatIsNoFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("another user's") << "foreign";
  }
  void passwordFileThatIsNoFile() {
    QFETCH(QString, kind);
    QString path = dir_.filePath(kind);
    if (kind == u"folder") {
      QVERIFY(QDir().mkdir(path));
      ::chmod(QFile::encodeName(path).constData(), 0700);
    } else if (kind == u"fifo") {
      // Opening it must not wait for a writer.
      QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == u"foreign") {
      if (::geteuid() != 0) QSKIP("only root can give a file to another user");
      path = passwordFile("pw\n", 0600);
      QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    }
    const sync::PasswordFileRead got = sync::readPasswordFile(path);
    QVERIFY(!got.password);
    QVERIFY2(got.error.startsWith(path + QStringLiteral(": ")), qPrintable(got.error));
  }

  void passwordOrder_data() {
    QTest::addColumn<int>("fileMode");  // 0: no PasswordFile
    QTest::addColumn<bool>("inStore");
    QTest::addColumn<bool>("backend");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("storeAsked");
    using S = PasswordLookup::Source;
    QTest::newRow("file before store")
        << 0600 << true << true << int(S::File) << "from file" << false;
    QTest::newRow("refused file: the store is not asked")
        << 0644 << true << true << int(S::Refused) << "" << false;
    QTest::newRow("store") << 0 << true << true << int(S::SecretStore) << "from store" << true;
    QTest::newRow("not in the store") << 0 << false << true << int(S::Missing) << "" << true;
    QTest::newRow("no store") << 0 << false << false << int(S::Missing) << "" << true;
  }
  void passwordOrder() {
    QFETCH(int, fileMode);
    QFETCH(bool, inStore);
    QFETCH(bool, backend);
    QFETCH(int, source);
    QFETCH(QString, password);
    QFETCH(bool, storeAsked);
    SyncSettings s;
    s.url = QStringLiteral("https://dav.example.org/");
    s.user = QStringLiteral("ann");
    if (fileMode != 0) s.passwordFile = passwordFile("from file\n", mode_t(fileMode));
    platform::FakeSecretStore store;
    store.backend = backend;
    if (inStore) {
      store.secrets.insert(platform::FakeSecretStore::key(sync::kSecretService, s.secretAccount()),
                           QStringLiteral("from store"));
    }
    std::optional<PasswordLookup> got;
    sync::lookUpPassword(s, store, [&](PasswordLookup l) { got = l; });
    QVERIFY(got);
    QCOMPARE(int(got->source), source);
    QCOMPARE(got->password, password);
    QCOMPARE(store.reads > 0, storeAsked);
    QCOMPARE(got->storeAvailable, backend);
    QCOMPARE(got->error.isEmpty(), source != int(PasswordLookup::Source::Refused));
  }
};

QTEST_GUILESS_MAIN(TestSyncAccount)
#include "test_sync_account.moc"
