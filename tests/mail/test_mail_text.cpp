#include <QTest>

#include "mail/browser_launch.h"
#include "mail/mail_text.h"
#include "mail/mailer_status.h"
#include "mail/send_via_outlook.h"
#include "record_store/record_table.h"

using namespace tavelin;
using namespace tavelin::mail;

class MailTextTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void cleanText_data();
  void cleanText();
  void joinLines_data();
  void joinLines();
  void greeting_data();
  void greeting();
  void dateTimeText();
  void titleAndStatus();
  void recipients();
  void browserCommands();
};

void MailTextTest::cleanText_data() {
  QTest::addColumn<QString>("selection");
  QTest::addColumn<QString>("expected");
  QTest::newRow("accent and code 1") << u"caf\u00e9\u0001 ok"_qs << u"caf ok"_qs;
  QTest::newRow("tab and line end kept") << u"a\tb\r\nc"_qs << u"a\tb\r\nc"_qs;
  QTest::newRow("codes 0..8 go, 11..31 and 127 stay")
      << QString(QChar(0)) + u"\u0008x\u000b\u001f\u007f"_qs << u"x\u000b\u001f\u007f"_qs;
  QTest::newRow("every non-ASCII character goes")
      << u"\u00a0\u201cq\u201d \u20ac\U0001F600!"_qs << u"q !"_qs;
  QTest::newRow("empty") << QString() << QString();
}

void MailTextTest::cleanText() {
  QFETCH(QString, selection);
  QFETCH(QString, expected);
  QCOMPARE(CleanText(selection), expected);
}

void MailTextTest::joinLines_data() {
  QTest::addColumn<QString>("selection");
  QTest::addColumn<QString>("expected");
  QTest::newRow("lines, trailing spaces, empty line")
      << u"one  \r\ntwo\r\n\r\nthree"_qs << u"one two three"_qs;
  QTest::newRow("leading break") << u"\r\nx"_qs << u" x"_qs;
  QTest::newRow("trailing break") << u"x\r\n"_qs << u"x "_qs;
  QTest::newRow("inner spaces, leading spaces and tabs stay")
      << u"a  b\r\n  c\t\r\nd"_qs << u"a  b   c\t d"_qs;
  QTest::newRow("LF alone and CR alone") << u"a \nb\rc"_qs << u"a b c"_qs;
}

void MailTextTest::joinLines() {
  QFETCH(QString, selection);
  QFETCH(QString, expected);
  QCOMPARE(JoinLines(selection), expected);
}

void MailTextTest::greeting_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("signOff");
  QTest::addColumn<QString>("expected");
  QTest::newRow("sign-off with bars") << u"Hi"_qs << u"Ann Smith"_qs << u"|Regards|Bob"_qs
                                      << u"Hello Ann Smith,\r\n\r\nHi\r\nRegards\r\nBob"_qs;
  QTest::newRow("no sign-off") << u"Hi"_qs << u"Ann Smith"_qs << QString()
                               << u"Hello Ann Smith,\r\n\r\nHi"_qs;
  QTest::newRow("outer spaces trimmed, inner kept")
      << QString() << u"X"_qs << u"  a | b  "_qs << u"Hello X,\r\n\r\na \r\n b"_qs;
  QTest::newRow("whole name, nothing detected")
      << u"Hello X,\r\n\r\nHi"_qs << u"X Y"_qs << QString()
      << u"Hello X Y,\r\n\r\nHello X,\r\n\r\nHi"_qs;
}

void MailTextTest::greeting() {
  QFETCH(QString, text);
  QFETCH(QString, name);
  QFETCH(QString, signOff);
  QFETCH(QString, expected);
  QCOMPARE(ApplyGreeting(text, name, signOff), expected);
}

void MailTextTest::dateTimeText() {
  const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
  const QDateTime at(QDate(2026, 3, 4), QTime(9, 5, 7));
  QCOMPARE(InsertDateTime(at, locale), QStringLiteral("04/03/2026 at 09:05 "));
}

void MailTextTest::titleAndStatus() {
  const QTime t(9, 5);
  QCOMPARE(mailerTitle(false, false, t, u"x"_qs), u"Malvek Quilla"_qs);
  QCOMPARE(mailerTitle(true, false, t, u"x"_qs), u"Malvek Quilla (09:05)"_qs);
  QCOMPARE(mailerTitle(true, true, t, u"02/01/2026"_qs), u"Malvek Quilla (09:05)  (02/01/2026)"_qs);
  QCOMPARE(mailerTitle(false, true, QTime(23, 59), u"d"_qs), u"Malvek Quilla  (d)"_qs);

  QCOMPARE(statusLine(0), u"Message Size: 0 Kb"_qs);
  QCOMPARE(statusLine(1023), u"Message Size: 0 Kb"_qs);
  QCOMPARE(statusLine(1024), u"Message Size: 1 Kb"_qs);
  QCOMPARE(statusLine(32767), u"Message Size: 31 Kb"_qs);
  QCOMPARE(statusLine(32768), u"WARNING: Maximum Size for Message Text Reached (32Kb)."_qs);
}

void MailTextTest::recipients() {
  RecordTable table;
  const auto add = [&table](const QString& name, const QString& email) {
    table.beginRecord();
    for (int k = 0; k < kFieldCount; ++k)
      table.addField(k == 0 ? name : k == 8 ? email : QString());
    table.endRecord();
  };
  add(u"Ann Smith"_qs, QString());
  add(u"ann smith"_qs, u"ann@example.org"_qs);
  add(u"Ann Smith"_qs, u"second@example.org"_qs);
  add(u"Bo \"B\" Li"_qs, u"bo@example.org"_qs);

  QCOMPARE(resolveRecipient(u"x@y.z"_qs, table), u"x@y.z"_qs);
  // The first record with that name and an address; case and outer blanks do not count.
  QCOMPARE(resolveRecipient(u"  ANN SMITH "_qs, table), u"\"ann smith\" <ann@example.org>"_qs);
  QCOMPARE(resolveRecipient(u"Bo \"B\" Li"_qs, table), u"\"Bo \\\"B\\\" Li\" <bo@example.org>"_qs);
  QCOMPARE(resolveRecipient(u"Nobody"_qs, table), QString());
  QCOMPARE(resolveRecipient(QString(), table), QString());
}

void MailTextTest::browserCommands() {
  using C = BrowserCommand;
  QCOMPARE(browserCommand(u"www.x.org"_qs, {}, true), C({u"xdg-open"_qs, {u"www.x.org"_qs}}));
  QCOMPARE(browserCommand({}, {}, true), C({u"x-www-browser"_qs, {}}));
  QCOMPARE(browserCommand({}, {}, false), C({u"xdg-open"_qs, {u"about:blank"_qs}}));
  QCOMPARE(browserCommand(u"a b"_qs, u"\"/opt/my browser/run\" --new-window"_qs, false),
           C({u"/opt/my browser/run"_qs, {u"--new-window"_qs, u"a b"_qs}}));
  QCOMPARE(browserCommand({}, u"firefox -P x"_qs, true), C({u"firefox"_qs, {u"-P"_qs, u"x"_qs}}));
  QVERIFY(!browserCommand(u"--help"_qs, {}, true));
  QVERIFY(!browserCommand(u"-x"_qs, u"firefox"_qs, true));
}

QTEST_GUILESS_MAIN(MailTextTest)
#include "test_mail_text.moc"
