#include <QDir>
#include <QTest>

#include "contracts/record_view.h"
#include "mail/browser_launch.h"
#include "mail/mail_files.h"
#include "mail/mail_text.h"
#include "mail/mailer_status.h"
#include "mail/send_via_outlook.h"
#include "record_store/record_table.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace tavelin::mail;
using platform::FontChoice;

class MailTextTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void cleanAndJoin() {
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

  void greeting() {
    QCOMPARE(ApplyGreeting(u"Hi", u"Ann Smith", u""), "Hello Ann Smith,\r\n\r\nHi");
    // Outer spaces trimmed, inner kept.
    QCOMPARE(ApplyGreeting(u"", u"X", u"  a | b  "), "Hello X,\r\n\r\na \r\n b");
    // The whole name, no greeting already there detected.
    QCOMPARE(ApplyGreeting(u"Hello X,\r\n\r\nHi", u"X Y", u""),
             "Hello X Y,\r\n\r\nHello X,\r\n\r\nHi");
  }

  void titleStatusAndStamp() {
    QCOMPARE(InsertDateTime(QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)),
                            QLocale(QLocale::English, QLocale::UnitedKingdom)),
             "04/03/2026 at 09:05 ");
    const QTime t(9, 5);
    QCOMPARE(mailerTitle(false, false, t, "x"), "Malvek Quilla");
    QCOMPARE(mailerTitle(false, true, QTime(23, 59), "d"), "Malvek Quilla  (d)");

    QCOMPARE(statusLine(1023), "Message Size: 0 Kb");
    QCOMPARE(statusLine(1024), "Message Size: 1 Kb");
    QCOMPARE(statusLine(32767), "Message Size: 31 Kb");
  }

  void recipients() {
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
    const TableRecords records(table);

    QCOMPARE(resolveRecipient("x@y.z", records), "x@y.z");
    // The first record with that name and an address; case and outer blanks do not count.
    QCOMPARE(resolveRecipient("  ANN SMITH ", records), "\"ann smith\" <ann@example.org>");
    QCOMPARE(resolveRecipient("Bo \"B\" Li", records), "\"Bo \\\"B\\\" Li\" <bo@example.org>");
    QCOMPARE(resolveRecipient("Nobody", records), QString());
    QCOMPARE(resolveRecipient(QString(), records), QString());
  }

  void browserCommands() {
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

  void fontFileNumbersAndReading() {
    QCOMPARE(printNumber(9.0), " 9 ");
    QCOMPARE(printNumber(10.5), " 10.5 ");
    QCOMPARE(printNumber(-2.25), "-2.25 ");
    QCOMPARE(printNumber(72.0), " 72 ");
    const std::pair<QString, FontChoice> cases[] = {
        // name, size, bold, italic
        {"Arial\r\n 12 \r\nTrue\r\nFalse\r\n", {"Arial", 12, false, true}},  // as written
        {"X\r\n10.5\r\nnoT\r\ntrue\r\n", {"X", 10.5, false, true}},          // T anywhere, not t
        {"Mono\r\nbig\r\nFalse\r\nTrue\r\n", {"Mono", 9, true, false}},      // bad size: designed
        {"Mono\r\n", {"Mono", 9, false, false}},
        {"", {"Courier New", 9, false, false}},
    };
    for (const auto& [text, font] : cases)
      QVERIFY2(parseFontFile(text) == font, qPrintable(text.simplified()));
  }

  void fontAndSignOffFiles() {
    test::TestEnvironment env;
    QVERIFY(QDir().mkpath(env.configRoot() + "/malvek/tavelin"));
    const QString cf1 = fontFilePath(env.configRoot());
    const QString sig = signOffFilePath(env.configRoot());
    QVERIFY(cf1.endsWith("/malvek/tavelin/tavelin.cf1"));
    QVERIFY(sig.endsWith("/malvek/tavelin/personal.sig"));

    // Missing files: the designed font without effects, no sign-off.
    QCOMPARE(readFontFile(cf1), (FontChoice{"Courier New", 9, false, false}));
    QVERIFY(!readSignOff(sig));

    // (A write that fails at any step: test_write_faults.)
    QVERIFY(!writeSignOff(sig, "|Grüße|Bob"));
    QCOMPARE(test::readFile(sig), QString("|Grüße|Bob\r\n").toUtf8());
    QCOMPARE(readSignOff(sig), "|Grüße|Bob");
    // Only the first line counts; a file of the Windows program reads as Windows-1252.
    test::writeFile(sig, QByteArray("|Gr\xfc\xdf") + "e\r\nsecond\r\n");
    QCOMPARE(readSignOff(sig), "|Grüße");
    test::writeFile(sig, "");
    QVERIFY(!readSignOff(sig));
  }

  void loading() {
    QCOMPARE(loadMessageText(u"a\r\n\r\nb\r\n").text, "a \r\n \r\nb \r\n");
    const LoadedText empty = loadMessageText(QString());
    QVERIFY(empty.text.isEmpty() && !empty.incomplete);

    // 40000 characters in lines of 98 and CR LF: reading stops at the first line that brings
    // the text to 32768 or more.
    const LoadedText big = loadMessageText(QString(QString(98, 'x') + "\r\n").repeated(400));
    QVERIFY(big.incomplete);
    QCOMPARE(big.text.size(), 101 * 325);  // 325 lines of 98 + blank + CR LF
    QVERIFY(!loadMessageText(QString(32700, 'y')).incomplete);
  }
};

QTEST_GUILESS_MAIN(MailTextTest)
#include "test_mail_text.moc"
