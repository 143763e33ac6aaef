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
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    const QString keyring = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
    if (daemon.isEmpty() || keyring.isEmpty()) {
      QSKIP("dbus-daemon or gnome-keyring-daemon is not installed (scripts/install-deps)");
    }
    // Nothing of the real session: its own home, data and runtime folders and bus.
    QVERIFY(home_.isValid());
    for (const char* folder : {"data", "runtime", "config"}) QDir(home_.path()).mkdir(folder);
    QFile::setPermissions(home_.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home_.path().toUtf8());
    qputenv("XDG_DATA_HOME", home_.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home_.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home_.filePath(QStringLiteral("runtime")).toUtf8());
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("KDE_FULL_SESSION");

    bus_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
    QVERIFY(bus_.waitForStarted(10'000));
    QVERIFY(QTest::qWaitFor([this] { return bus_.canReadLine(); }, 10'000));
    const QByteArray address = bus_.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    // Before anything in this process talks to D-Bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    keyring_.setProcessEnvironment(environment);
    keyring_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    keyring_.start(keyring, {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                             QStringLiteral("--components=secrets")});
    QVERIFY(keyring_.waitForStarted(10'000));
    // --unlock reads the login keyring's password from standard input (and makes the keyring).
    keyring_.write("keyring password\n");
    keyring_.closeWriteChannel();
    // Ready once it has taken its name on the bus.
    QProcess ask;
    const auto nameTaken = [&ask, address] {
      ask.start(QStringLiteral("dbus-send"),
                {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                 QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/"),
                 QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                 QStringLiteral("string:org.freedesktop.secrets")});
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
    const QString service = QStringLiteral("Tavelin CardDAV test");
    const QString account = QStringLiteral("ann@127.0.0.1:5232");

    auto missing = await([&](auto done) { store.read(service, account, std::move(done)); });
    QVERIFY(missing);
    QCOMPARE(int(missing->status), int(SecretResult::Status::NotFound));

    auto written = await([&](auto done) {
      store.write(service, account, QStringLiteral("pässwörd 1"), std::move(done));
    });
    QVERIFY(written);
    QVERIFY2(written->status == SecretResult::Status::Done, qPrintable(written->error));

    auto read = await([&](auto done) { store.read(service, account, std::move(done)); });
    QVERIFY(read);
    QCOMPARE(int(read->status), int(SecretResult::Status::Done));
    QCOMPARE(read->secret, QStringLiteral("pässwörd 1"));
    // Another account's is another entry.
    auto other = await([&](auto done) {
      store.read(service, QStringLiteral("bob@127.0.0.1:5232"), std::move(done));
    });
    QVERIFY(other);
    QCOMPARE(int(other->status), int(SecretResult::Status::NotFound));

    auto removed = await([&](auto done) { store.remove(service, account, std::move(done)); });
    QVERIFY(removed);
    QCOMPARE(int(removed->status), int(SecretResult::Status::Done));
    auto gone = await([&](auto done) { store.read(service, account, std::move(done)); });
    QVERIFY(gone);
    QCOMPARE(int(gone->status), int(SecretResult::Status::NotFound));
  }
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "test_keychain.moc"
