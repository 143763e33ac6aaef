#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstdlib>

#include "dialer/comm_control.h"
#include "dialer/line_settings.h"
#include "dialer/stored_port_settings.h"
#include "platform/fake/fake_platform.h"
#include "support/test_env.h"

using tavelin::dialer::CommControl;
using tavelin::dialer::parseLineSettings;
using tavelin::platform::FakePlatform;
using tavelin::platform::Parity;
using tavelin::platform::StopBits;

namespace {

// A pseudo-terminal standing in for the modem line. The test keeps a slave descriptor of its
// own so that the line stays up between opens and its termios can be inspected.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    slavePath_ = QString::fromLocal8Bit(ptsname(master_));
    slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~PseudoTerminal() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  bool isValid() const { return master_ >= 0 && slave_ >= 0; }
  QString slavePath() const { return slavePath_; }

  // Everything the program has sent so far, collected across calls.
  QByteArray sent() {
    char buffer[256];
    ssize_t n;
    while ((n = ::read(master_, buffer, sizeof buffer)) > 0) sent_.append(buffer, n);
    return sent_;
  }
  bool send(const QByteArray& bytes) {
    return ::write(master_, bytes.constData(), bytes.size()) == bytes.size();
  }
  termios lineSettings() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  QString slavePath_;
  QByteArray sent_;
};

}  // namespace

class TestCommControl : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    env_ = std::make_unique<tavelin::test::TestEnvironment>();
    platform_ = std::make_unique<FakePlatform>(env_->configRoot());
    pty_ = std::make_unique<PseudoTerminal>();
    QVERIFY(pty_->isValid());
    platform_->fakeSettings.values[QStringLiteral("Platform/Com3")] = pty_->slavePath();
  }
  void cleanup() {
    pty_.reset();
    platform_.reset();
    env_.reset();
  }

  void parseLineSettings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<Parity>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<StopBits>("stopBits");

    QTest::newRow("default") << "9600,n,8,1" << true << 9600 << Parity::None << 8 << StopBits::One;
    QTest::newRow("even") << "2400,e,7,1" << true << 2400 << Parity::Even << 7 << StopBits::One;
    QTest::newRow("odd") << "1200,o,7,2" << true << 1200 << Parity::Odd << 7 << StopBits::Two;
    QTest::newRow("mark") << "300,m,8,1" << true << 300 << Parity::Mark << 8 << StopBits::One;
    QTest::newRow("space") << "300,s,8,1" << true << 300 << Parity::Space << 8 << StopBits::One;
    QTest::newRow("upper case") << "19200,E,6,1" << true << 19200 << Parity::Even << 6
                                << StopBits::One;
    QTest::newRow("1.5 stop") << "110,n,5,1.5" << true << 110 << Parity::None << 5
                              << StopBits::OneAndHalf;
    QTest::newRow("blanks") << " 2400 , n ,8, 1 " << true << 2400 << Parity::None << 8
                            << StopBits::One;

    const char* malformed[] = {"",
                               "9600",
                               "9600,n,8",
                               "9600,n,8,1,1",
                               "fast,n,8,1",
                               "0,n,8,1",
                               "-9600,n,8,1",
                               "9600,x,8,1",
                               "9600,no,8,1",
                               "9600,n,9,1",
                               "9600,n,4,1",
                               "9600,n,8,3",
                               "9600,n,8,1,5",
                               "9600,n,8,1.0",
                               "96 00,n,8,1",
                               "9600,n,+8,1",
                               "99999999999,n,8,1"};
    for (const char* text : malformed)
      QTest::newRow(text) << QString::fromLatin1(text) << false << 0 << Parity::None << 0
                          << StopBits::One;
  }
  void parseLineSettings() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto line = tavelin::dialer::parseLineSettings(text);
    QCOMPARE(line.has_value(), valid);
    if (!valid) return;
    QFETCH(int, baud);
    QFETCH(Parity, parity);
    QFETCH(int, dataBits);
    QFETCH(StopBits, stopBits);
    QCOMPARE(line->baudRate, baud);
    QCOMPARE(line->parity, parity);
    QCOMPARE(line->dataBits, dataBits);
    QCOMPARE(line->stopBits, stopBits);
  }

  void propertiesStartAndRefuseBadValues() {
    CommControl comm(*platform_);
    QCOMPARE(comm.commPort(), 1);
    QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(comm.handshaking(), qint64(0));
    QVERIFY(!comm.portOpen());

    auto error = comm.setSettings(QStringLiteral("9600,n,8"));
    QVERIFY(error);
    QCOMPARE(error->number, 380);
    QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
    QVERIFY(!comm.setSettings(QStringLiteral("2400,e,7,2")));
    QCOMPARE(comm.settings(), QStringLiteral("2400,e,7,2"));

    for (qint64 bad : {qint64(-1), qint64(4), qint64(1) << 40}) {
      error = comm.setHandshaking(bad);
      QVERIFY(error);
      QCOMPARE(error->number, 380);
    }
    QCOMPARE(comm.handshaking(), qint64(0));
    QVERIFY(!comm.setHandshaking(3));
    QCOMPARE(comm.handshaking(), qint64(3));

    for (int bad : {0, -3}) {
      error = comm.setCommPort(bad);
      QVERIFY(error);
      QCOMPARE(error->number, 380);
    }
    QCOMPARE(comm.commPort(), 1);
    QVERIFY(!comm.setCommPort(16));
    QCOMPARE(comm.commPort(), 16);

    // Writing to a closed port fails without sending anything.
    error = comm.setOutput(QStringLiteral("AT\r"));
    QVERIFY(error);
    QCOMPARE(error->number, 8018);
    QCOMPARE(comm.input(), QString());
  }

  void outputAndInputPassBytesUnchanged() {
    CommControl comm(*platform_);
    QVERIFY(!comm.setCommPort(3));
    const auto error = comm.setPortOpen(true);
    QVERIFY2(!error, error ? qPrintable(error->text) : "");
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.input(), QString());  // nothing came: returns at once, empty

    // CR and LF exactly as given, Latin-1 characters as single bytes.
    const QString command = QStringLiteral("ATDT0123\r\n+++\r") + QChar(0xE9) + QChar(0xFF);
    QVERIFY(!comm.setOutput(command));
    QTRY_COMPARE(pty_->sent(), QByteArray("ATDT0123\r\n+++\r\xE9\xFF"));

    // Without handshaking XON/XOFF characters are plain data.
    const QByteArray reply("\r\nOK\r\n\x11\x13\xE9");
    QVERIFY(pty_->send(reply));
    QString received;
    auto collect = [&] { return received += comm.input(); };
    QTRY_COMPARE(collect(), QString::fromLatin1(reply));
    QCOMPARE(comm.input(), QString());  // already taken

    QVERIFY(pty_->send("CONNECT"));
    received.clear();
    QTRY_COMPARE(collect(), QStringLiteral("CONNECT"));
    QVERIFY(!comm.setPortOpen(false));
  }

  void openAndCloseRules() {
    CommControl comm(*platform_);
    QVERIFY(!comm.setCommPort(3));
    QVERIFY(!comm.setPortOpen(true));

    auto error = comm.setPortOpen(true);
    QVERIFY(error);
    QCOMPARE(error->number, 8005);
    QCOMPARE(error->text, QStringLiteral("Port already open"));
    QVERIFY(comm.portOpen());

    error = comm.setCommPort(4);
    QVERIFY(error);
    QCOMPARE(error->number, 8005);
    QCOMPARE(comm.commPort(), 3);

    QVERIFY(!comm.setPortOpen(false));
    QVERIFY(!comm.portOpen());
    QVERIFY(!comm.setPortOpen(false));  // closing a closed port is harmless
    QVERIFY(!comm.setPortOpen(true));   // and it opens again
    QVERIFY(!comm.setPortOpen(false));

    // A missing device: the platform's text, the port stays closed and usable.
    QVERIFY(!comm.setCommPort(7));
    platform_->fakeSettings.values[QStringLiteral("Platform/Com7")] =
        env_->workPath(QStringLiteral("no-such-tty"));
    error = comm.setPortOpen(true);
    QVERIFY(error);
    QCOMPARE(error->number, 8002);
    QVERIFY(!error->text.isEmpty());
    QVERIFY(!comm.portOpen());

    // A file that is not a terminal exists but cannot be a serial port.
    const QString plainFile = env_->workPath(QStringLiteral("plain"));
    tavelin::test::writeFile(plainFile, "x");
    platform_->fakeSettings.values[QStringLiteral("Platform/Com7")] = plainFile;
    error = comm.setPortOpen(true);
    QVERIFY(error);
    QVERIFY(error->number != 8002 && error->number != 8005);
    QVERIFY(!error->text.isEmpty());
    QVERIFY(!comm.portOpen());

    QVERIFY(!comm.setCommPort(3));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(comm.portOpen());
  }

  void lineSettingsReachTheDevice() {
    CommControl comm(*platform_);
    QVERIFY(!comm.setCommPort(3));
    QVERIFY(!comm.setPortOpen(true));
    termios t = pty_->lineSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    QVERIFY(!(t.c_cflag & (CSTOPB | CRTSCTS)));
    QVERIFY(!(t.c_iflag & (IXON | IXOFF)));
    QVERIFY(!comm.setPortOpen(false));

    QVERIFY(!comm.setSettings(QStringLiteral("2400,o,7,2")));
    QVERIFY(!comm.setHandshaking(3));
    QVERIFY(!comm.setPortOpen(true));
    t = pty_->lineSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B2400));
    // A pseudo-terminal keeps 8 data bits and drops PARENB, but it keeps which parity was asked.
    QCOMPARE(t.c_cflag & (PARODD | CMSPAR), tcflag_t(PARODD));
    QVERIFY(t.c_cflag & CSTOPB);
    QVERIFY(t.c_cflag & CRTSCTS);  // 3: hardware flow control wins
    QVERIFY(!(t.c_iflag & (IXON | IXOFF)));
    QVERIFY(!(t.c_oflag & OPOST));  // raw line: no CR/LF translation

    // Changes while open wait for the next open.
    QVERIFY(!comm.setSettings(QStringLiteral("19200,e,8,1")));
    QVERIFY(!comm.setHandshaking(1));
    t = pty_->lineSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B2400));
    QVERIFY(!comm.setPortOpen(false));
    QVERIFY(!comm.setPortOpen(true));
    t = pty_->lineSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B19200));
    QCOMPARE(t.c_cflag & (PARODD | CMSPAR), tcflag_t(0));
    QVERIFY(!(t.c_cflag & CSTOPB));
    QVERIFY(!(t.c_cflag & CRTSCTS));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    QVERIFY(!comm.setPortOpen(false));

    QVERIFY(!comm.setSettings(QStringLiteral("1200,m,8,1")));
    QVERIFY(!comm.setHandshaking(2));
    QVERIFY(!comm.setPortOpen(true));
    t = pty_->lineSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B1200));
    QCOMPARE(t.c_cflag & (PARODD | CMSPAR), tcflag_t(PARODD | CMSPAR));
    QVERIFY(t.c_cflag & CRTSCTS);
    QVERIFY(!(t.c_iflag & (IXON | IXOFF)));
  }

  void storedSettingsApplyOnlyWhatIsSet() {
    auto& store = platform_->fakeSettings;
    const QString settings = QStringLiteral("Properties/Settings");
    const QString port = QStringLiteral("Properties/CommPort");
    const QString handshaking = QStringLiteral("Properties/Handshaking");

    store.values[settings] = QStringLiteral("2400,n,8,1");
    {
      CommControl comm(*platform_);
      tavelin::dialer::applyStoredPortSettings(comm, store);
      QCOMPARE(comm.settings(), QStringLiteral("2400,n,8,1"));
      QCOMPARE(comm.commPort(), 1);
      QCOMPARE(comm.handshaking(), qint64(0));
      QVERIFY(!comm.portOpen());
    }

    // CommPort read as CInt, Handshaking as CLng; what does not convert or fit is skipped.
    struct Case {
      const char* portText;
      int port;
      const char* handshakingText;
      qint64 handshaking;
    };
    const Case cases[] = {
        {" 3 ", 3, " 2\t", 2},    {"abc", 1, "x1", 0},  {"70000", 1, "4294967297", 0},
        {"32767", 32767, "1", 1}, {"2.5", 2, "2.5", 2}, {"3.5", 4, "0.5", 0},
        {"-1", 1, "-1", 0},       {"0", 1, "9", 0},     {"1e1", 10, "3.", 3},
        {"32767.5", 1, "", 0},    {"1 0", 1, "two", 0}, {"12abc", 1, "nan", 0},
    };
    store.values[settings] = QStringLiteral("fast");  // unusable: the default stays
    for (const Case& c : cases) {
      store.values[port] = QString::fromLatin1(c.portText);
      store.values[handshaking] = QString::fromLatin1(c.handshakingText);
      CommControl comm(*platform_);
      tavelin::dialer::applyStoredPortSettings(comm, store);
      QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
      QVERIFY2(comm.commPort() == c.port, c.portText);
      QVERIFY2(comm.handshaking() == c.handshaking, c.handshakingText);
    }
  }

 private:
  std::unique_ptr<tavelin::test::TestEnvironment> env_;
  std::unique_ptr<FakePlatform> platform_;
  std::unique_ptr<PseudoTerminal> pty_;
};

QTEST_GUILESS_MAIN(TestCommControl)
#include "test_comm_control.moc"
