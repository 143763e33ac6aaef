#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QTest>

#include "dialer/comm_control.h"
#include "dialer/line_settings.h"
#include "dialer/stored_port_settings.h"
#include "platform/fake/fake_platform.h"
#include "support/test_env.h"

using namespace tavelin::dialer;
using tavelin::platform::Parity;
using tavelin::platform::StopBits;

namespace {

// The modem line. The test holds a slave descriptor of its own so that the line stays up
// between opens and its termios can be read.
struct PseudoTerminal {
  PseudoTerminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    slavePath = QString::fromLocal8Bit(ptsname(master));
    slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  ~PseudoTerminal() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  // Everything the program has sent so far.
  QByteArray sent() {
    char buffer[256];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
    return received;
  }
  bool send(const QByteArray& b) { return ::write(master, b.constData(), b.size()) == b.size(); }
  termios line() const {
    termios t{};
    tcgetattr(slave, &t);
    return t;
  }

  int master = -1, slave = -1;
  QString slavePath;
  QByteArray received;
};

// 0 for success, so that a missing error fails the comparison.
int number(const std::optional<CommError>& error) {
  return error ? error->number : 0;
}

}  // namespace

class TestCommControl : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    env_ = std::make_unique<tavelin::test::TestEnvironment>();
    platform_ = std::make_unique<tavelin::platform::FakePlatform>(env_->configRoot());
    pty_ = std::make_unique<PseudoTerminal>();
    QVERIFY(pty_->slave >= 0);
    platform_->fakeSettings.values[QStringLiteral("Platform/Com3")] = pty_->slavePath;
  }
  void cleanup() {
    pty_.reset();
    platform_.reset();
    env_.reset();
  }

  void parsesLineSettings() {
    auto check = [](const char* text, int baud, Parity parity, int data, StopBits stop) {
      const auto line = parseLineSettings(QString::fromLatin1(text));
      QVERIFY2(line, text);
      QCOMPARE(line->baudRate, baud);
      QCOMPARE(line->parity, parity);
      QCOMPARE(line->dataBits, data);
      QCOMPARE(line->stopBits, stop);
    };
    check("9600,n,8,1", 9600, Parity::None, 8, StopBits::One);
    check("2400,e,7,2", 2400, Parity::Even, 7, StopBits::Two);
    check("1200,O,6,1", 1200, Parity::Odd, 6, StopBits::One);
    check("300,m,8,1", 300, Parity::Mark, 8, StopBits::One);
    check(" 110 , s ,5, 1.5 ", 110, Parity::Space, 5, StopBits::OneAndHalf);

    for (const char* bad : {"", "9600,n,8", "9600,n,8,1,1", "fast,n,8,1", "0,n,8,1", "-9600,n,8,1",
                            "9600,x,8,1", "9600,no,8,1", "9600,n,4,1", "9600,n,9,1", "9600,n,8,3",
                            "9600,n,8,1.0", "96 00,n,8,1", "99999999999,n,8,1"})
      QVERIFY2(!parseLineSettings(QString::fromLatin1(bad)), bad);
  }

  void refusesBadPropertyValues() {
    CommControl comm(*platform_);
    QCOMPARE(comm.commPort(), 1);
    QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(comm.handshaking(), qint64(0));
    QVERIFY(!comm.portOpen());

    QCOMPARE(number(comm.setSettings(QStringLiteral("9600,n,8"))), 380);
    QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
    for (qint64 bad : {qint64(-1), qint64(4), qint64(1) << 40})
      QCOMPARE(number(comm.setHandshaking(bad)), 380);
    QCOMPARE(comm.handshaking(), qint64(0));
    QCOMPARE(number(comm.setCommPort(0)), 380);
    QCOMPARE(comm.commPort(), 1);
    QCOMPARE(number(comm.setOutput(QStringLiteral("AT\r"))), 8018);  // closed
  }

  void sendsAndReceivesBytesUnchanged() {
    CommControl comm(*platform_);
    QVERIFY(!comm.setCommPort(3));
    const auto error = comm.setPortOpen(true);
    QVERIFY2(!error, error ? qPrintable(error->text) : "");
    QCOMPARE(comm.input(), QString());  // nothing came: returns at once

    // CR and LF as given, Latin-1 characters as single bytes.
    QVERIFY(!comm.setOutput(QStringLiteral("ATDT0123\r\n+++\r") + QChar(0xE9) + QChar(0xFF)));
    QTRY_COMPARE(pty_->sent(), QByteArray("ATDT0123\r\n+++\r\xE9\xFF"));

    // Without handshaking XON/XOFF are plain data.
    const QByteArray reply("\r\nOK\r\n\x11\x13\xE9");
    QVERIFY(pty_->send(reply));
    QString got;
    QTRY_COMPARE(got += comm.input(), QString::fromLatin1(reply));
    QCOMPARE(comm.input(), QString());  // already taken
    QVERIFY(pty_->send("CONNECT"));
    got.clear();
    QTRY_COMPARE(got += comm.input(), QStringLiteral("CONNECT"));
  }

  void opensAndCloses() {
    CommControl comm(*platform_);
    QVERIFY(!comm.setCommPort(3));
    QVERIFY(!comm.setPortOpen(true));
    auto error = comm.setPortOpen(true);
    QCOMPARE(number(error), 8005);
    QCOMPARE(error ? error->text : QString(), QStringLiteral("Port already open"));
    QCOMPARE(number(comm.setCommPort(4)), 8005);
    QCOMPARE(comm.commPort(), 3);
    QVERIFY(comm.portOpen());

    QVERIFY(!comm.setPortOpen(false));
    QVERIFY(!comm.portOpen());
    QVERIFY(!comm.setPortOpen(false));  // closing a closed port is harmless

    // A missing device, then a file that is no terminal: the platform's text, still closed.
    QVERIFY(!comm.setCommPort(7));
    auto& com7 = platform_->fakeSettings.values[QStringLiteral("Platform/Com7")];
    com7 = env_->workPath(QStringLiteral("no-such-tty"));
    error = comm.setPortOpen(true);
    QCOMPARE(number(error), 8002);
    QVERIFY(error && !error->text.isEmpty());
    com7 = env_->workPath(QStringLiteral("plain"));
    tavelin::test::writeFile(com7, "x");
    error = comm.setPortOpen(true);
    QCOMPARE(number(error), 8010);
    QVERIFY(error && !error->text.isEmpty());
    QVERIFY(!comm.portOpen());

    QVERIFY(!comm.setCommPort(3));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(comm.portOpen());
  }

  void appliesLineSettingsAtOpen() {
    CommControl comm(*platform_);
    QVERIFY(!comm.setCommPort(3));
    QVERIFY(!comm.setPortOpen(true));
    termios t = pty_->line();
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    QCOMPARE(t.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));  // raw: no CR/LF translation

    // Changed while open: in force from the next open. A pseudo-terminal forces 8 data bits
    // and drops PARENB, but keeps PARODD and CMSPAR.
    QVERIFY(!comm.setSettings(QStringLiteral("2400,o,7,2")));
    QVERIFY(!comm.setHandshaking(3));
    t = pty_->line();
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    QVERIFY(!comm.setPortOpen(false));
    QVERIFY(!comm.setPortOpen(true));
    t = pty_->line();
    QCOMPARE(cfgetospeed(&t), speed_t(B2400));
    QCOMPARE(t.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS), tcflag_t(PARODD | CSTOPB | CRTSCTS));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));  // 3: hardware flow control wins

    QVERIFY(!comm.setPortOpen(false));
    QVERIFY(!comm.setSettings(QStringLiteral("19200,s,8,1")));
    QVERIFY(!comm.setHandshaking(1));
    QVERIFY(!comm.setPortOpen(true));
    t = pty_->line();
    QCOMPARE(cfgetospeed(&t), speed_t(B19200));
    QCOMPARE(t.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS), tcflag_t(CMSPAR));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
  }

  void appliesStoredSettings() {
    auto& values = platform_->fakeSettings.values;
    values[QStringLiteral("Properties/Settings")] = QStringLiteral("2400,n,8,1");
    {
      CommControl comm(*platform_);
      applyStoredPortSettings(comm, platform_->fakeSettings);
      QCOMPARE(comm.settings(), QStringLiteral("2400,n,8,1"));
      QCOMPARE(comm.commPort(), 1);
      QCOMPARE(comm.handshaking(), qint64(0));
      QVERIFY(!comm.portOpen());
    }

    // CommPort as CInt, Handshaking as CLng would read them; what does not convert, does not
    // fit or is refused by the control is skipped.
    struct Case {
      const char *portText, *handshakingText;
      int port;
      qint64 handshaking;
    };
    values[QStringLiteral("Properties/Settings")] = QStringLiteral("fast");
    for (const Case& c :
         {Case{" 3 ", "\t2 ", 3, 2}, Case{"abc", "1x", 1, 0}, Case{"70000", "4294967297", 1, 0},
          Case{"2.5", "2.5", 2, 2}, Case{"3.5", "1e0", 4, 1}, Case{"0", "9", 1, 0},
          Case{"32767.5", "nan", 1, 0}, Case{"32767", "", 32767, 0}}) {
      values[QStringLiteral("Properties/CommPort")] = QString::fromLatin1(c.portText);
      values[QStringLiteral("Properties/Handshaking")] = QString::fromLatin1(c.handshakingText);
      CommControl comm(*platform_);
      applyStoredPortSettings(comm, platform_->fakeSettings);
      QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
      QVERIFY2(comm.commPort() == c.port, c.portText);
      QVERIFY2(comm.handshaking() == c.handshaking, c.handshakingText);
    }
  }

 private:
  std::unique_ptr<tavelin::test::TestEnvironment> env_;
  std::unique_ptr<tavelin::platform::FakePlatform> platform_;
  std::unique_ptr<PseudoTerminal> pty_;
};

QTEST_GUILESS_MAIN(TestCommControl)
#include "test_comm_control.moc"
