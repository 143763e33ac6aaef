#include <QTest>

#include "dialer/modem_commands.h"

using namespace tavelin::dialer;

class TestModemCommands : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void digitsOfAPhoneText_data() {
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("digits");
    QTest::newRow("plus, blank, slash") << "+1 2/34"
                                        << "1234";
    QTest::newRow("punctuation") << "(020) 555-01.01"
                                 << "0205550101";
    QTest::newRow("letters and blanks") << "call Bo"
                                        << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("other digits") << QString::fromUtf8("١٢٣ 4") << "4";  // Arabic-Indic digits
  }
  void digitsOfAPhoneText() {
    QFETCH(QString, phone);
    QFETCH(QString, digits);
    QCOMPARE(dialDigits(phone), digits);
  }

  void commandTexts_data() {
    QTest::addColumn<QString>("volume");
    QTest::addColumn<bool>("tone");
    QTest::addColumn<QString>("reset");
    QTest::addColumn<QString>("dial");
    QTest::newRow("0 tone") << "0" << true << "AT&FM0\r\n"
                            << "ATH0L0DT1234;\r\n";
    QTest::newRow("2 pulse") << "2" << false << "AT&FM1\r\n"
                             << "ATH0L2DP1234;\r\n";
    QTest::newRow("3 tone") << "3" << true << "AT&FM1\r\n"
                            << "ATH0L3DT1234;\r\n";
    QTest::newRow("empty") << "" << true << "AT&FM1\r\n"
                           << "ATH0LDT1234;\r\n";
    // Whatever else the list's text holds stays out of the command.
    QTest::newRow("a command") << "1\rATZ" << false << "AT&FM1\r\n"
                               << "ATH0LDP1234;\r\n";
    QTest::newRow("9") << "9" << true << "AT&FM1\r\n"
                       << "ATH0LDT1234;\r\n";
  }
  void commandTexts() {
    QFETCH(QString, volume);
    QFETCH(bool, tone);
    QTEST(resetCommand(volume), "reset");
    QTEST(dialCommand(volume, tone, u"1234"), "dial");
    QCOMPARE(kHangUpCommand, QStringLiteral("ATH0\r"));
  }

  // Only "OK" CR LF ends a wait, wherever the pieces arrive; a modem that talks without end
  // does not make the watch hold more than the last characters.
  void okWatch_data() {
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<bool>("answered");
    QTest::newRow("whole") << QStringList{"AT&FM1\r\r\nOK\r\n"} << true;
    QTest::newRow("one by one") << QStringList{"O", "K", "\r", "\n"} << true;
    QTest::newRow("split after OK") << QStringList{"\r\nOK", "\r\n"} << true;
    QTest::newRow("split in OK") << QStringList{"xxO", "K\r\nyy"} << true;
    QTest::newRow("no line end") << QStringList{"\r\nOK"} << false;
    QTest::newRow("CR alone") << QStringList{"OK\r", "OK\r"} << false;
    QTest::newRow("LF alone") << QStringList{"OK\n"} << false;
    QTest::newRow("ERROR") << QStringList{"\r\nERROR\r\n"} << false;
    QTest::newRow("lower case") << QStringList{"ok\r\n"} << false;
    QTest::newRow("torn apart") << QStringList{"O", "xK\r\n"} << false;
  }
  void okWatch() {
    QFETCH(QStringList, pieces);
    OkWatch watch;
    bool answered = false;
    for (const QString& p : pieces) answered = watch.feed(p);
    QTEST(answered, "answered");
    QTEST(watch.answered(), "answered");
  }

  void okWatchAfterAnEndlessStream() {
    OkWatch watch;
    const QString noise(4096, u'O');
    for (int i = 0; i < 2000; ++i) QVERIFY(!watch.feed(noise));  // 8 MB without an answer
    QVERIFY(watch.held() < 4);
    QVERIFY(watch.feed(u"K\r\n"));
  }
};

QTEST_GUILESS_MAIN(TestModemCommands)
#include "test_modem_commands.moc"
