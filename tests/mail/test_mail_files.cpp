#include <sys/resource.h>

#include <QDir>
#include <QTest>
#include <csignal>

#include "mail/mail_files.h"
#include "mail/mailer_status.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace tavelin::mail;
using platform::FontChoice;

namespace {

// Writes beyond limit bytes fail (EFBIG) while this lives: a write cut short on its way.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lower = old_;
    lower.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  rlimit old_{};
};

}  // namespace

class MailFilesTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void printForm();
  void fontFileReading_data();
  void fontFileReading();
  void fontAndSignOffFiles();
  void loading();
};

void MailFilesTest::printForm() {
  QCOMPARE(printNumber(9.0), " 9 ");
  QCOMPARE(printNumber(10.5), " 10.5 ");
  QCOMPARE(printNumber(-2.25), "-2.25 ");
  QCOMPARE(printNumber(72.0), " 72 ");
}

void MailFilesTest::fontFileReading_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<FontChoice>("font");  // name, size, bold, italic
  QTest::newRow("as written") << "Arial\r\n 12 \r\nTrue\r\nFalse\r\n"
                              << FontChoice{"Arial", 12, false, true};
  QTest::newRow("T anywhere, lower t not") << "X\r\n10.5\r\nnoT\r\ntrue\r\n"
                                           << FontChoice{"X", 10.5, false, true};
  QTest::newRow("bad size keeps the designed one") << "Mono\r\nbig\r\nFalse\r\nTrue\r\n"
                                                   << FontChoice{"Mono", 9, true, false};
  QTest::newRow("short file") << "Mono\r\n" << FontChoice{"Mono", 9, false, false};
  QTest::newRow("empty file") << "" << FontChoice{"Courier New", 9, false, false};
}

void MailFilesTest::fontFileReading() {
  QFETCH(QString, text);
  QFETCH(FontChoice, font);
  QCOMPARE(parseFontFile(text), font);
}

void MailFilesTest::fontAndSignOffFiles() {
  test::TestEnvironment env;
  QVERIFY(QDir().mkpath(env.configRoot() + u"/malvek/tavelin"_qs));
  const QString cf1 = fontFilePath(env.configRoot());
  const QString sig = signOffFilePath(env.configRoot());
  QVERIFY(cf1.endsWith(u"/malvek/tavelin/tavelin.cf1"_qs));
  QVERIFY(sig.endsWith(u"/malvek/tavelin/personal.sig"_qs));

  // Missing files: the designed font without effects, no sign-off.
  QCOMPARE(readFontFile(cf1), (FontChoice{u"Courier New"_qs, 9, false, false}));
  QVERIFY(!readSignOff(sig));

  QVERIFY(!writeFontFile(cf1, {u"DejaVu Sans Mono"_qs, 11.5, true, false}));
  QCOMPARE(test::readFile(cf1), QByteArray("DejaVu Sans Mono\r\n 11.5 \r\nFalse\r\nTrue\r\n"));
  QCOMPARE(readFontFile(cf1), (FontChoice{u"DejaVu Sans Mono"_qs, 11.5, true, false}));

  QVERIFY(!writeSignOff(sig, u"|Grüße|Bob"_qs));
  QCOMPARE(test::readFile(sig), QByteArray("|Gr\xc3\xbc\xc3\x9f"
                                           "e|Bob\r\n"));
  QCOMPARE(readSignOff(sig), u"|Grüße|Bob"_qs);
  // Only the first line counts; a file of the Windows program reads as Windows-1252.
  test::writeFile(sig,
                  "|Gr\xfc\xdf"
                  "e\r\nsecond\r\n");
  QCOMPARE(readSignOff(sig), u"|Grüße"_qs);
  test::writeFile(sig, "");
  QVERIFY(!readSignOff(sig));

  // A write that fails half-way leaves the old file whole.
  QVERIFY(!writeSignOff(sig, u"old"_qs));
  QVERIFY(!writeFontFile(cf1, {u"Old"_qs, 9, false, false}));
  {
    const FileSizeLimit limit(8);
    QVERIFY(writeSignOff(sig, u"a much longer sign-off"_qs).has_value());
    QVERIFY(writeFontFile(cf1, {u"A Long Font Name"_qs, 12, true, true}).has_value());
  }
  QCOMPARE(test::readFile(sig), QByteArray("old\r\n"));
  QCOMPARE(readFontFile(cf1).name, u"Old"_qs);
}

void MailFilesTest::loading() {
  QCOMPARE(loadMessageText(u"abc"_qs).text, u"abc \r\n"_qs);
  QCOMPARE(loadMessageText(u"a\r\n\r\nb\r\n"_qs).text, u"a \r\n \r\nb \r\n"_qs);
  const LoadedText empty = loadMessageText(QString());
  QVERIFY(empty.text.isEmpty() && !empty.incomplete);

  // 40000 characters in lines of 98 and CR LF: reading stops at the first line that brings
  // the text to 32768 or more.
  QString file;
  for (int i = 0; i < 400; ++i) file += QString(98, QLatin1Char('x')) + u"\r\n"_qs;
  const LoadedText big = loadMessageText(file);
  QVERIFY(big.incomplete);
  QCOMPARE(big.text.size(), 101 * 325);  // 325 lines of 98 + blank + CR LF
  QVERIFY(big.text.size() >= kMaxMessageLength && big.text.size() - 101 < kMaxMessageLength);
  QVERIFY(!loadMessageText(QString(32700, QLatin1Char('y'))).incomplete);
}

QTEST_GUILESS_MAIN(MailFilesTest)
#include "test_mail_files.moc"
