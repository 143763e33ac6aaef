#include <fcntl.h>
#include <unistd.h>

#include <QTest>

#include "dialer/comm_control.h"
#include "dialer/line_settings.h"
#include "dialer/modem_commands.h"
#include "dialer/stored_port_settings.h"
#include "platform/fake/fake_platform.h"
#include "support/test_env.h"

using namespace tavelin::dialer;
using tavelin::platform::Parity;
using tavelin::platform::StopBits;
using Line = std::tuple<int, Parity, int, StopBits>;  // baud 0: refused

class TestCommControl : public QObject {
  Q_OBJECT
  tavelin::test::TestEnvironment env_;
  tavelin::platform::FakePlatform platform_{env_.configRoot()};
  int master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);  // the modem line, a real one

  // 0 for success, so that a missing error fails the comparison.
  static int number(const std::optional<CommError>& e) { return e ? e->number : 0; }
  QByteArray fromLine() {  // some of what the program sent, possibly nothing
    char buffer[64];
    return QByteArray(buffer, qMax<ssize_t>(::read(master_, buffer, sizeof buffer), 0));
  }

 public:
  ~TestCommControl() override { ::close(master_); }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0);
    platform_.fakeSettings.values[QStringLiteral("Platform/Com3")] = ptsname(master_);
  }

  void parsesLineSettings_data() {
    QTest::addColumn<Line>("expected");  // the row name is the text
    QTest::newRow("9600,n,8,1") << Line{9600, Parity::None, 8, StopBits::One};
    QTest::newRow("2400,e,7,2") << Line{2400, Parity::Even, 7, StopBits::Two};
    QTest::newRow("1200,O,6,1") << Line{1200, Parity::Odd, 6, StopBits::One};
    QTest::newRow("300,m,8,1") << Line{300, Parity::Mark, 8, StopBits::One};
    QTest::newRow(" 110 , s ,5, 1.5 ") << Line{110, Parity::Space, 5, StopBits::OneAndHalf};
    for (const char* bad : {"9600,n,8", "9600,n,8,1,1", "fast,n,8,1", "0,n,8,1", "-9600,n,8,1",
                            "9600,x,8,1", "9600,no,8,1", "9600,n,4,1", "9600,n,9,1", "9600,n,8,3",
                            "9600,n,8,1.0", "96 00,n,8,1", "99999999999,n,8,1"})
      QTest::newRow(bad) << Line{};
  }
  void parsesLineSettings() {
    const auto l = parseLineSettings(QString::fromLatin1(QTest::currentDataTag()));
    QTEST((l ? Line{l->baudRate, l->parity, l->dataBits, l->stopBits} : Line{}), "expected");
  }

  void digitsOfAPhoneText() {
    const std::pair<QString, QString> cases[] = {
        {"(020) 555-01.01", "0205550101"},
        {"call Bo", ""},
        {"", ""},
        {QString::fromUtf8("١٢٣ 4"), "4"}};  // Arabic-Indic
    for (const auto& [phone, digits] : cases) QCOMPARE(dialDigits(phone), digits);
  }

  // Volumes 0, 2 and none, tone and pulse, are checked on the line in test_dialer.
  void commandTexts() {
    // Whatever else the list's text holds stays out of the command.
    const std::tuple<QString, bool, QString, QString> cases[] = {
        {"3", true, "AT&FM1\r\n", "ATH0L3DT1234;\r\n"},
        {"1\rATZ", false, "AT&FM1\r\n", "ATH0LDP1234;\r\n"},
        {"9", true, "AT&FM1\r\n", "ATH0LDT1234;\r\n"},
    };
    for (const auto& [volume, tone, reset, dial] : cases) {
      QCOMPARE(resetCommand(volume), reset);
      QCOMPARE(dialCommand(volume, tone, u"1234"), dial);
    }
  }

  // Only "OK" CR LF ends a wait, wherever the pieces arrive; a modem that talks without end
  // does not make the watch hold more than the last characters.
  void okWatch() {
    const std::pair<QStringList, bool> cases[] = {
        {{"AT&FM1\r\r\nOK\r\n"}, true},
        {{"O", "K", "\r", "\n"}, true},
        {{"\r\nOK", "\r\n"}, true},
        {{"xxO", "K\r\nyy"}, true},
        {{"\r\nOK"}, false},
        {{"OK\r", "OK\r"}, false},
        {{"OK\n"}, false},
        {{"\r\nERROR\r\n"}, false},
        {{"ok\r\n"}, false},
        {{"O", "xK\r\n"}, false},
    };
    for (const auto& [pieces, expected] : cases) {
      OkWatch watch;
      bool answered = false;
      for (const QString& p : pieces) answered = watch.feed(p);
      QVERIFY2(answered == expected && watch.answered() == expected, qPrintable(pieces.join('|')));
    }
    OkWatch watch;
    const QString noise(4096, u'O');
    for (int i = 0; i < 2000; ++i) QVERIFY(!watch.feed(noise));  // 8 MB without an answer
    QVERIFY(watch.held() < 4);
    QVERIFY(watch.feed(u"K\r\n"));
  }

  void opensSendsAndReceives() {
    CommControl comm(platform_);
    QCOMPARE(number(comm.setCommPort(0)), 380);
    QVERIFY(!comm.setCommPort(3));
    const auto error = comm.setPortOpen(true);
    QVERIFY2(!error, error ? qPrintable(error->text) : "");
    QCOMPARE(number(comm.setPortOpen(true)), 8005);
    QCOMPARE(number(comm.setCommPort(4)), 8005);
    QVERIFY(comm.commPort() == 3 && comm.portOpen());
    QCOMPARE(comm.input(), QString());  // nothing came: empty, at once

    // CR and LF as given, Latin-1 as single bytes; no handshaking, so XON/XOFF are data.
    QVERIFY(!comm.setOutput(QStringLiteral("ATDT0123\r\n+++\r") + QChar(0xE9) + QChar(0xFF)));
    QByteArray sent;
    QTRY_COMPARE(sent += fromLine(), QByteArray("ATDT0123\r\n+++\r\xE9\xFF"));
    const QByteArray reply("\r\nOK\r\n\x11\x13\xE9");
    QCOMPARE(::write(master_, reply.constData(), reply.size()), ssize_t(reply.size()));
    QString got;
    QTRY_COMPARE(got += comm.input(), QString::fromLatin1(reply));
    QCOMPARE(comm.input(), QString());  // already taken

    QVERIFY(!comm.setPortOpen(false) && !comm.setPortOpen(false));  // closing twice is harmless
    QVERIFY(!comm.setCommPort(7));
    platform_.fakeSettings.values[QStringLiteral("Platform/Com7")] = env_.workPath("no-such-tty");
    const auto missing = comm.setPortOpen(true);
    QCOMPARE(number(missing), 8002);
    QVERIFY(!missing->text.isEmpty() && !comm.portOpen());
  }

  void appliesStoredSettings() {
    auto& values = platform_.fakeSettings.values;
    values[QStringLiteral("Properties/Settings")] = QStringLiteral("2400,n,8,1");
    // Nothing else stored, then numbers read as CInt / CLng would: what does not convert, fit
    // or suit the control is skipped.
    for (const auto& [portText, handshakingText, port, handshaking] : {std::tuple{"", "", 1, 0},
                                                                       {"abc", "1x", 1, 0},
                                                                       {"70000", "9", 1, 0},
                                                                       {" 3.5", "2.5", 4, 2}}) {
      values[QStringLiteral("Properties/CommPort")] = portText;
      values[QStringLiteral("Properties/Handshaking")] = handshakingText;
      CommControl comm(platform_);
      applyStoredPortSettings(comm, platform_.fakeSettings);
      QCOMPARE(comm.settings(), QStringLiteral("2400,n,8,1"));
      QCOMPARE(comm.commPort(), port);
      QCOMPARE(comm.handshaking(), qint64(handshaking));
    }
  }
};

QTEST_GUILESS_MAIN(TestCommControl)
#include "test_comm_control.moc"
