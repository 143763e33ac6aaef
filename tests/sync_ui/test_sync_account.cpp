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

class TestSyncAccount : public QObject {
  Q_OBJECT

 private:
  QString passwordFile(const QByteArray& bytes, mode_t mode) {
    const QString path = dir_.filePath(u"pw%1"_qs.arg(++files_));
    test::writeFile(path, bytes);
    if (::chmod(QFile::encodeName(path).constData(), mode) != 0) return {};
    return path;
  }
  QTemporaryDir dir_;
  int files_ = 0;

 private Q_SLOTS:
  // In the real file, Tavelin.ini under XDG_CONFIG_HOME, other groups left as they were.
  void settingsRoundTrip() {
    test::TestEnvironment env;
    const QString ini = env.configRoot() + u"/Tavelin/Tavelin.ini"_qs;
    QDir().mkpath(env.configRoot() + u"/Tavelin"_qs);
    test::writeFile(ini, "[Platform]\nEditor=kate\n");
    platform::QtSettingsStore qt;
    SyncSettings plain;
    plain.url = u"https://dav.example.org/ann/contacts/"_qs;
    plain.user = u"ann"_qs;
    SyncSettings all = plain;  // every key, interval 0, a comma in a value
    all.url = u"http://nas.home:5232/"_qs;
    all.intervalMinutes = 0;
    all.passwordFile = u"/home/ann/.config/tavelin-dav, with comma"_qs;
    all.trustedSha256 = QByteArray(64, 'a');
    all.plainHttpHost = u"nas.home:5232"_qs;
    for (const SyncSettings& settings : {plain, all, SyncSettings{}}) {
      QVERIFY(sync::writeSyncSettings(qt, settings));
      QCOMPARE(sync::readSyncSettings(qt), settings);
      const QByteArray text = test::readFile(ini);
      const QByteArray interval = "Interval=" + QByteArray::number(settings.intervalMinutes);
      QVERIFY2(text.contains("[CardDAV]") && text.contains(interval), text.constData());
      // The password has no key of its own.
      for (const QByteArray& line : text.split('\n')) {
        const QByteArray key = line.left(line.indexOf('='));
        QVERIFY2(!key.contains("assword") || key.endsWith("File"), line.constData());
      }
    }
    QCOMPARE(qt.value(u"Platform"_qs, u"Editor"_qs), u"kate"_qs);
  }

  void interval_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minutes");
    QTest::newRow("missing") << QString() << 15;
    QTest::newRow("zero") << u"0"_qs << 0;
    QTest::newRow("blanks") << u" 45 "_qs << 45;
    QTest::newRow("not a number") << u"soon"_qs << 15;
    QTest::newRow("negative") << u"-5"_qs << 0;
    QTest::newRow("past a day") << u"100000"_qs << 1440;
    QTest::newRow("past int") << u"99999999999"_qs << 15;
  }
  void interval() {
    QFETCH(QString, text);
    QFETCH(int, minutes);
    platform::FakeSettingsStore store;
    if (!text.isNull()) store.values.insert(u"CardDAV/Interval"_qs, text);
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
    s.user = u"ann"_qs;
    QCOMPARE(s.serverUrl(), QUrl(url));
    QCOMPARE(sync::needsPlainHttpConsent(s.serverUrl()), needsConsent);
    QCOMPARE(s.secretAccount(), account);
    // A yes is for the one server it named.
    s.plainHttpHost = sync::serverKey(s.serverUrl());
    QVERIFY(s.allowsPlainHttp());
    s.plainHttpHost = u"other.example.org"_qs;
    QVERIFY(!s.allowsPlainHttp());
  }

  // What a password file yields, or why it is refused: by its mode, its bytes, or its kind.
  void passwordFile_data() {
    QTest::addColumn<QString>("kind");  // empty: a file of these bytes and mode
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("password");  // null: refused
    const auto row = [](const char* name, const QByteArray& bytes, int mode,
                        const QString& password, const char* kind = "") {
      QTest::newRow(name) << QString::fromLatin1(kind) << bytes << mode << password;
    };
    row("600", "s3cret\n", 0600, u"s3cret"_qs);
    row("400", "s3cret\n", 0400, u"s3cret"_qs);
    row("640: the group may read", "s3cret\n", 0640, {});
    row("604: anyone may read", "s3cret\n", 0604, {});
    row("620: the group may write", "s3cret\n", 0620, {});
    row("602: anyone may write", "s3cret\n", 0602, {});
    row("200: not even the owner may read", "s3cret\n", 0200, {});
    row("CR LF", "pw\r\n", 0600, u"pw"_qs);
    row("no line end", "pw", 0600, u"pw"_qs);
    row("only one line end dropped", "pw\n\n", 0600, u"pw\n"_qs);
    row("blanks kept", " p w \n", 0600, u" p w "_qs);
    row("UTF-8", "gr\xc3\xbc\xc3\x9f\n", 0600, u"grüß"_qs);
    row("empty", "", 0600, {});
    row("only a line end", "\n", 0600, {});
    row("far too large", QByteArray(100000, 'x'), 0600, {});
    row("missing", {}, 0, {}, "missing");
    row("a folder", {}, 0, {}, "folder");
    row("a FIFO", {}, 0, {}, "fifo");
    row("another user's", "pw\n", 0600, {}, "foreign");
  }
  void passwordFile() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(int, mode);
    QFETCH(QString, password);
    QString path = dir_.filePath(kind);
    if (kind.isEmpty() || kind == u"foreign") {
      path = passwordFile(bytes, mode_t(mode));
      QVERIFY(!path.isEmpty());
    }
    if (kind == u"folder") QVERIFY(QDir().mkdir(path));
    // Opening it must not wait for a writer.
    if (kind == u"fifo") QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (kind == u"foreign") {
      if (::geteuid() != 0) QSKIP("only root can give a file to another user");
      QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    }
    const sync::PasswordFileRead got = sync::readPasswordFile(path);
    QCOMPARE(got.password.has_value(), !password.isNull());
    if (got.password) {
      QCOMPARE(*got.password, password);
      QVERIFY(got.error.isEmpty());
    } else {
      QVERIFY2(got.error.startsWith(path + u": "_qs), qPrintable(got.error));
      QVERIFY(!got.error.contains(u"s3cret"_qs));
    }
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
    s.url = u"https://dav.example.org/"_qs;
    s.user = u"ann"_qs;
    if (fileMode != 0) s.passwordFile = passwordFile("from file\n", mode_t(fileMode));
    platform::FakeSecretStore store;
    store.backend = backend;
    if (inStore) {
      store.secrets.insert(platform::FakeSecretStore::key(sync::kSecretService, s.secretAccount()),
                           u"from store"_qs);
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
