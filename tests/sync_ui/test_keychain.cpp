// The real secret store: QtKeychain writing, reading and removing a password in a GNOME
// Keyring that this test starts, unlocked, on a D-Bus session bus of its own.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

#include "platform/qt/keychain_secret_store.h"

using namespace tavelin::platform;

namespace {

std::optional<SecretResult> await(
    const std::function<void(std::function<void(SecretResult)>)>& call) {
  std::optional<SecretResult> result;
  call([&result](SecretResult r) { result = std::move(r); });
  if (!QTest::qWaitFor([&result] { return result.has_value(); }, 20'000)) return std::nullopt;
  return result;
}

}  // namespace

class TestKeychain : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir home_;
  QProcess bus_;
  QProcess keyring_;

 private Q_SLOTS:
  void initTestCase() {
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_qs);
    const QString keyring = QStandardPaths::findExecutable(u"gnome-keyring-daemon"_qs);
    if (daemon.isEmpty() || keyring.isEmpty()) {
      QSKIP("dbus-daemon or gnome-keyring-daemon is not installed (scripts/install-deps)");
    }
    // Nothing of the real session: its own home, data and runtime folders and bus.
    QVERIFY(home_.isValid());
    for (const char* folder : {"data", "runtime", "config"}) QDir(home_.path()).mkdir(folder);
    QFile::setPermissions(home_.filePath(u"runtime"_qs),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home_.path().toUtf8());
    qputenv("XDG_DATA_HOME", home_.filePath(u"data"_qs).toUtf8());
    qputenv("XDG_CONFIG_HOME", home_.filePath(u"config"_qs).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home_.filePath(u"runtime"_qs).toUtf8());
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("KDE_FULL_SESSION");

    bus_.start(daemon, {u"--session"_qs, u"--nofork"_qs, u"--print-address=1"_qs});
    QVERIFY(bus_.waitForStarted(10'000));
    QVERIFY(QTest::qWaitFor([this] { return bus_.canReadLine(); }, 10'000));
    const QByteArray address = bus_.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    // Before anything in this process talks to D-Bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    keyring_.setProcessEnvironment(environment);
    keyring_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    keyring_.start(keyring, {u"--foreground"_qs, u"--unlock"_qs, u"--components=secrets"_qs});
    QVERIFY(keyring_.waitForStarted(10'000));
    // --unlock reads the login keyring's password from standard input (and makes the keyring).
    keyring_.write("keyring password\n");
    keyring_.closeWriteChannel();
    // Ready once it has taken its name on the bus.
    QProcess ask;
    const auto nameTaken = [&ask, address] {
      ask.start(u"dbus-send"_qs,
                {u"--session"_qs, u"--print-reply"_qs, u"--dest=org.freedesktop.DBus"_qs, u"/"_qs,
                 u"org.freedesktop.DBus.NameHasOwner"_qs, u"string:org.freedesktop.secrets"_qs});
      ask.waitForFinished(5'000);
      return ask.readAllStandardOutput().contains("boolean true");
    };
    QVERIFY2(QTest::qWaitFor(nameTaken, 20'000), "gnome-keyring-daemon did not start");
  }

  void cleanupTestCase() {
    for (QProcess* p : {&keyring_, &bus_}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(5'000)) p->kill();
      p->waitForFinished(5'000);
    }
  }

  void writeReadRemove() {
    KeychainSecretStore store;
    const QString service = u"Tavelin CardDAV test"_qs;
    const QString account = u"ann@127.0.0.1:5232"_qs;
    using Status = SecretResult::Status;
    const auto read = [&](const QString& who) {
      return await([&](auto done) { store.read(service, who, std::move(done)); });
    };
    const auto status = [](const std::optional<SecretResult>& r) {
      return r ? int(r->status) : -1;  // -1: no answer
    };
    QCOMPARE(status(read(account)), int(Status::NotFound));
    const auto written =
        await([&](auto done) { store.write(service, account, u"pässwörd 1"_qs, std::move(done)); });
    QVERIFY2(status(written) == int(Status::Done), written ? qPrintable(written->error) : "");
    const auto found = read(account);
    QCOMPARE(status(found), int(Status::Done));
    QCOMPARE(found->secret, u"pässwörd 1"_qs);
    // Another account's is another entry.
    QCOMPARE(status(read(u"bob@127.0.0.1:5232"_qs)), int(Status::NotFound));
    QCOMPARE(status(await([&](auto done) { store.remove(service, account, std::move(done)); })),
             int(Status::Done));
    QCOMPARE(status(read(account)), int(Status::NotFound));
  }
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "test_keychain.moc"
