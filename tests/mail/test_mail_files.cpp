#include <sys/resource.h>

#include <QDir>
#include <QTest>
#include <csignal>

#include "mail/mail_files.h"
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

void MailFilesTest::fontFileReading() {
  const std::pair<QString, FontChoice> cases[] = {
      // name, size, bold, italic
      {"Arial\r\n 12 \r\nTrue\r\nFalse\r\n", {"Arial", 12, false, true}},  // as written
      {"X\r\n10.5\r\nnoT\r\ntrue\r\n", {"X", 10.5, false, true}},          // T anywhere, not t
      {"Mono\r\nbig\r\nFalse\r\nTrue\r\n", {"Mono", 9, true, false}},      // bad size: designed
      {"Mono\r\n", {"Mono", 9, false, false}},
      {"", {"Courier New", 9, false, false}},
  };
  for (const auto& [text, font] : cases) QVERIFY2(parseFontFile(text) == font, qPrintable(text));
}

void MailFilesTest::fontAndSignOffFiles() {
  test::TestEnvironment env;
  QVERIFY(QDir().mkpath(env.configRoot() + "/malvek/tavelin"));
  const QString cf1 = fontFilePath(env.configRoot());
  const QString sig = signOffFilePath(env.configRoot());
  QVERIFY(cf1.endsWith("/malvek/tavelin/tavelin.cf1"));
  QVERIFY(sig.endsWith("/malvek/tavelin/personal.sig"));

  // Missing files: the designed font without effects, no sign-off.
  QCOMPARE(readFontFile(cf1), (FontChoice{"Courier New", 9, false, false}));
  QVERIFY(!readSignOff(sig));

  QVERIFY(!writeFontFile(cf1, {"DejaVu Sans Mono", 11.5, true, false}));
  QCOMPARE(test::readFile(cf1), "DejaVu Sans Mono\r\n 11.5 \r\nFalse\r\nTrue\r\n");
  QCOMPARE(readFontFile(cf1), (FontChoice{"DejaVu Sans Mono", 11.5, true, false}));

  QVERIFY(!writeSignOff(sig, "|Grüße|Bob"));
  QCOMPARE(test::readFile(sig), QString("|Grüße|Bob\r\n").toUtf8());
  QCOMPARE(readSignOff(sig), "|Grüße|Bob");
  // Only the first line counts; a file of the Windows program reads as Windows-1252.
  test::writeFile(sig, QByteArray("|Gr\xfc\xdf") + "e\r\nsecond\r\n");
  QCOMPARE(readSignOff(sig), "|Grüße");
  test::writeFile(sig, "");
  QVERIFY(!readSignOff(sig));

  // A write that fails half-way leaves the old file whole.
  QVERIFY(!writeSignOff(sig, "old"));
  QVERIFY(!writeFontFile(cf1, {"Old", 9, false, false}));
  {
    const FileSizeLimit limit(8);
    QVERIFY(writeSignOff(sig, "a much longer sign-off").has_value());
    QVERIFY(writeFontFile(cf1, {"A Long Font Name", 12, true, true}).has_value());
  }
  QCOMPARE(test::readFile(sig), "old\r\n");
  QCOMPARE(readFontFile(cf1).name, "Old");
}

void MailFilesTest::loading() {
  QCOMPARE(loadMessageText(u"abc").text, "abc \r\n");
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

QTEST_GUILESS_MAIN(MailFilesTest)
#include "test_mail_files.moc"
