#include <QRandomGenerator>
#include <QTest>

#include "record_store/options_file.h"

using tavelin::DialMode;
using tavelin::OptionValues;

namespace {

// Eight flag lines of which one holds the given text, the others " 0 ".
QByteArray withFlagLine(int index, const QByteArray& text) {
  QByteArray bytes;
  for (int i = 0; i < 8; ++i) bytes += (i == index ? text : QByteArray(" 0 ")) + "\r\n";
  return bytes + "Com2\r\nT\r\n2\r\n";
}

}  // namespace

class TestOptionsFile : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void defaultFile() {
    const QByteArray bytes = tavelin::defaultOptionsFile();
    QCOMPARE(bytes, QByteArray(" 1 \r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 1 \r\n"
                               "Com2\r\nT\r\n 2 \r\n"));
    QCOMPARE(bytes.size(), 54);
    QCOMPARE(tavelin::parseOptions(bytes), tavelin::defaultOptions());
  }

  void dialogFormat() {
    const QByteArray bytes = tavelin::formatOptions(tavelin::defaultOptions());
    QCOMPARE(bytes, QByteArray(" 1 \r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 1 \r\n"
                               "Com2\r\nT\r\n2\r\n"));
    QCOMPARE(bytes.size(), 52);

    OptionValues values;
    values.flags = {0, 0, 1, 0, 1, 1, 1, 0};
    values.port = QStringLiteral("Com16");
    values.dialMode = DialMode::Pulse;
    values.volume = QStringLiteral("0");
    QCOMPARE(
        tavelin::formatOptions(values),
        QByteArray(" 0 \r\n 0 \r\n 1 \r\n 0 \r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\nCom16\r\nP\r\n0\r\n"));
    QCOMPARE(tavelin::parseOptions(tavelin::formatOptions(values)), values);

    // A window whose dial mode was never chosen writes pulse.
    values.dialMode = DialMode::Unset;
    QVERIFY(tavelin::formatOptions(values).endsWith("Com16\r\nP\r\n0\r\n"));
  }

  void flagLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("set");
    QTest::newRow("written") << QByteArray(" 1 ") << true;
    QTest::newRow("no blanks") << QByteArray("1") << true;
    QTest::newRow("leading zeros") << QByteArray("  001") << true;
    QTest::newRow("text after digits") << QByteArray(" 1abc") << true;
    QTest::newRow("two") << QByteArray("2") << false;
    QTest::newRow("eleven") << QByteArray(" 11 ") << false;
    QTest::newRow("zero") << QByteArray(" 0 ") << false;
    QTest::newRow("minus one") << QByteArray("-1") << false;
    QTest::newRow("letter first") << QByteArray("x1") << false;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("huge") << QByteArray("100000000000000000000000000001") << false;
    QTest::newRow("huge one") << QByteArray("0000000000000000000000000000001") << true;
  }

  void flagLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, set);
    for (int index = 0; index < 8; ++index) {
      const OptionValues values = tavelin::parseOptions(withFlagLine(index, line));
      for (int i = 0; i < 8; ++i) QCOMPARE(values.flags[i], i == index && set ? 1 : 0);
    }
  }

  void textLines() {
    const QByteArray flags = withFlagLine(0, " 0 ").first(40);
    const auto parse = [&](const QByteArray& rest) {
      return tavelin::parseOptions(QByteArray(flags + rest));
    };

    QCOMPARE(parse("Com2\r\nT\r\n 2 \r\n").volume, QStringLiteral("2"));
    QCOMPARE(parse("Com2\r\nT\r\n2\r\n").volume, QStringLiteral("2"));
    QCOMPARE(parse("Com2\r\nT\r\n2").volume, QStringLiteral("2"));

    QCOMPARE(parse(" Com3 \r\nT\r\n2\r\n").port, QStringLiteral(" Com3 "));
    QCOMPARE(parse("Com2\r\nT\r\n2\r\n").dialMode, DialMode::Tone);
    QCOMPARE(parse("Com2\r\nt\r\n2\r\n").dialMode, DialMode::Pulse);
    QCOMPARE(parse("Com2\r\nT \r\n2\r\n").dialMode, DialMode::Pulse);
    QCOMPARE(parse("Com2\r\nP\r\n2\r\n").dialMode, DialMode::Pulse);

    // UTF-8 where the bytes are valid UTF-8, else single-byte text.
    QCOMPARE(parse("Com\xc3\xa9\r\n").port, QStringLiteral("Com\u00e9"));
    QCOMPARE(parse("Com\xe9\r\n").port, QStringLiteral("Com\u00e9"));
  }

  void missingLines() {
    const QByteArray full = tavelin::defaultOptionsFile();

    OptionValues fiveFlags = tavelin::parseOptions(full.first(25));
    QCOMPARE(fiveFlags.flags, (std::array<int, 8>{1, 1, 0, 1, 0, 0, 0, 0}));
    QCOMPARE(fiveFlags.port, QString());
    QCOMPARE(fiveFlags.dialMode, DialMode::Pulse);
    QCOMPARE(fiveFlags.volume, QString());

    const OptionValues nineLines = tavelin::parseOptions(full.first(46));
    QCOMPARE(nineLines.flags, tavelin::defaultOptions().flags);
    QCOMPARE(nineLines.port, QStringLiteral("Com2"));
    QCOMPARE(nineLines.dialMode, DialMode::Pulse);
    QCOMPARE(nineLines.volume, QString());

    const OptionValues nothing = tavelin::parseOptions(QByteArrayView());
    QCOMPARE(nothing.flags, (std::array<int, 8>{}));
    QCOMPARE(nothing.dialMode, DialMode::Pulse);

    // Extra lines after the eleventh are not read.
    QCOMPARE(tavelin::parseOptions(QByteArray(full + "junk\r\n 1 \r\n")),
             tavelin::defaultOptions());
  }

  void lineEnds() {
    const QByteArray crlf = tavelin::defaultOptionsFile();
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    QByteArray cr = crlf;
    cr.replace("\r\n", "\r");
    QCOMPARE(tavelin::parseOptions(lf), tavelin::defaultOptions());
    QCOMPARE(tavelin::parseOptions(cr), tavelin::defaultOptions());

    // Every lone CR or LF ends a line: an empty line moves the rest down by one.
    const OptionValues shifted = tavelin::parseOptions(" 1 \r\r 1 \r\n");
    QCOMPARE(shifted.flags[0], 1);
    QCOMPARE(shifted.flags[1], 0);
    QCOMPARE(shifted.flags[2], 1);
  }

  void arbitraryBytes() {
    QRandomGenerator random(20240601);
    const char alphabet[] = {'\r', '\n', ' ', '0', '1', 'T', '\0', '\xc3', '\xff', 'a'};
    for (int round = 0; round < 3000; ++round) {
      QByteArray bytes(random.bounded(200), Qt::Uninitialized);
      for (char& c : bytes)
        c = round % 2 ? alphabet[random.bounded(int(sizeof alphabet))] : char(random.bounded(256));
      const OptionValues values = tavelin::parseOptions(bytes);
      for (const int flag : values.flags) QVERIFY(flag == 0 || flag == 1);
      QVERIFY(values.dialMode != DialMode::Unset);
      for (const QString& text : {values.port, values.volume})
        QVERIFY(!text.contains(u'\r') && !text.contains(u'\n'));
    }
  }
};

QTEST_GUILESS_MAIN(TestOptionsFile)
#include "test_options_file.moc"
