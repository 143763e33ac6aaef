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
  void cleanAndJoin();
  void greeting();
  void titleStatusAndStamp();
  void recipients();
  void browserCommands();
};

void MailTextTest::cleanAndJoin() {
  const std::pair<QString, QString> cleaned[] = {
      {"caf\u00e9\u0001 ok", "caf ok"},  // accent and code 1
      {"a\tb\r\nc", "a\tb\r\nc"},        // tab and line end kept
      {QString(QChar(0)) + "\u0008x\u000b\u001f\u007f", "x\u000b\u001f\u007f"},  // 0..8 go
      {"\u00a0\u201cq\u201d \u20ac\U0001F600!", "q !"},  // every non-ASCII character goes
      {"", ""},
  };
  for (const auto& [selection, expected] : cleaned) QCOMPARE(CleanText(selection), expected);
  const std::pair<QString, QString> joined[] = {
      {"one  \r\ntwo\r\n\r\nthree", "one two three"},  // trailing spaces, empty line
      {"\r\nx", " x"},
      {"x\r\n", "x "},
      {"a  b\r\n  c\t\r\nd", "a  b   c\t d"},  // inner and leading spaces and tabs stay
      {"a \nb\rc", "a b c"},                   // LF alone and CR alone
  };
  for (const auto& [selection, expected] : joined) QCOMPARE(JoinLines(selection), expected);
}

void MailTextTest::greeting() {
  QCOMPARE(ApplyGreeting(u"Hi", u"Ann Smith", u"|Regards|Bob"),
           "Hello Ann Smith,\r\n\r\nHi\r\nRegards\r\nBob");
  QCOMPARE(ApplyGreeting(u"Hi", u"Ann Smith", u""), "Hello Ann Smith,\r\n\r\nHi");
  // Outer spaces trimmed, inner kept.
  QCOMPARE(ApplyGreeting(u"", u"X", u"  a | b  "), "Hello X,\r\n\r\na \r\n b");
  // The whole name, no greeting already there detected.
  QCOMPARE(ApplyGreeting(u"Hello X,\r\n\r\nHi", u"X Y", u""),
           "Hello X Y,\r\n\r\nHello X,\r\n\r\nHi");
}

void MailTextTest::titleStatusAndStamp() {
  QCOMPARE(InsertDateTime(QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)),
                          QLocale(QLocale::English, QLocale::UnitedKingdom)),
           "04/03/2026 at 09:05 ");
  const QTime t(9, 5);
  QCOMPARE(mailerTitle(false, false, t, "x"), "Malvek Quilla");
  QCOMPARE(mailerTitle(true, false, t, "x"), "Malvek Quilla (09:05)");
  QCOMPARE(mailerTitle(true, true, t, "02/01/2026"), "Malvek Quilla (09:05)  (02/01/2026)");
  QCOMPARE(mailerTitle(false, true, QTime(23, 59), "d"), "Malvek Quilla  (d)");

  QCOMPARE(statusLine(0), "Message Size: 0 Kb");
  QCOMPARE(statusLine(1023), "Message Size: 0 Kb");
  QCOMPARE(statusLine(1024), "Message Size: 1 Kb");
  QCOMPARE(statusLine(32767), "Message Size: 31 Kb");
  QCOMPARE(statusLine(32768), "WARNING: Maximum Size for Message Text Reached (32Kb).");
}

void MailTextTest::recipients() {
  RecordTable table;
  const auto add = [&table](const QString& name, const QString& email) {
    table.beginRecord();
    for (int k = 0; k < kFieldCount; ++k)
      table.addField(k == 0 ? name : k == 8 ? email : QString());
    table.endRecord();
  };
  add("Ann Smith", QString());
  add("ann smith", "ann@example.org");
  add("Ann Smith", "second@example.org");
  add("Bo \"B\" Li", "bo@example.org");

  QCOMPARE(resolveRecipient("x@y.z", table), "x@y.z");
  // The first record with that name and an address; case and outer blanks do not count.
  QCOMPARE(resolveRecipient("  ANN SMITH ", table), "\"ann smith\" <ann@example.org>");
  QCOMPARE(resolveRecipient("Bo \"B\" Li", table), "\"Bo \\\"B\\\" Li\" <bo@example.org>");
  QCOMPARE(resolveRecipient("Nobody", table), QString());
  QCOMPARE(resolveRecipient(QString(), table), QString());
}

void MailTextTest::browserCommands() {
  using C = BrowserCommand;
  QCOMPARE(browserCommand("www.x.org", {}, true), C({"xdg-open", {"www.x.org"}}));
  QCOMPARE(browserCommand({}, {}, true), C({"x-www-browser", {}}));
  QCOMPARE(browserCommand({}, {}, false), C({"xdg-open", {"about:blank"}}));
  QCOMPARE(browserCommand("a b", "\"/opt/my browser/run\" --new-window", false),
           C({"/opt/my browser/run", {"--new-window", "a b"}}));
  QCOMPARE(browserCommand({}, "firefox -P x", true), C({"firefox", {"-P", "x"}}));
  QVERIFY(!browserCommand("--help", {}, true));
  QVERIFY(!browserCommand("-x", "firefox", true));
}

QTEST_GUILESS_MAIN(MailTextTest)
#include "test_mail_text.moc"
