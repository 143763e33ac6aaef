#include <QRandomGenerator>
#include <QTest>

#include "record_store/options_file.h"

using tavelin::DialMode;
using tavelin::OptionValues;
using tavelin::parseOptions;

class TestOptionsFile : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void writtenFiles() {
    const OptionValues defaults = tavelin::defaultOptions();
    const QByteArray head = " 1 \r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 1 \r\nCom2\r\nT\r\n";
    QCOMPARE(tavelin::defaultOptionsFile(), QByteArray(head + " 2 \r\n"));   // 54 bytes
    QCOMPARE(tavelin::formatOptions(defaults), QByteArray(head + "2\r\n"));  // the dialog's, 52
    QCOMPARE(parseOptions(tavelin::defaultOptionsFile()), defaults);  // both volume forms: "2"
    QCOMPARE(parseOptions(tavelin::formatOptions(defaults)), defaults);

    const OptionValues values{{0, 0, 1, 0, 1, 1, 1, 0}, "C\u00f6m16", DialMode::Pulse, "0"};
    QCOMPARE(parseOptions(tavelin::formatOptions(values)), values);
    // A window whose dial mode was never chosen writes pulse.
    QVERIFY(tavelin::formatOptions(OptionValues{}).endsWith("\r\n\r\nP\r\n\r\n"));
  }

  void flagLine_data() {  // the row name is the line
    QTest::addColumn<int>("set");
    for (const char* l : {" 1 ", "1", "  001", " 1abc"}) QTest::newRow(l) << 1;
    for (const char* l : {"2", " 11 ", "-1", "x1", "18446744073709551617"}) QTest::newRow(l) << 0;
  }
  void flagLine() { QTEST(parseOptions(QTest::currentDataTag()).flags[0], "set"); }

  void damagedAndMissingLines() {
    const QByteArray full = tavelin::defaultOptionsFile();
    QCOMPARE(parseOptions(QByteArray(full.first(40) + " Com3 \r\nt\r\n 3")),
             (OptionValues{{1, 1, 0, 1, 0, 0, 0, 1}, " Com3 ", DialMode::Pulse, "3"}));
    QCOMPARE(parseOptions(QByteArray(full.first(46) + "T ")),
             (OptionValues{{1, 1, 0, 1, 0, 0, 0, 1}, "Com2", DialMode::Pulse, {}}));
    QCOMPARE(parseOptions(full.first(25)), (OptionValues{{1, 1, 0, 1}, {}, DialMode::Pulse, {}}));
    QCOMPARE(parseOptions(QByteArray(full + "junk\r\n 1 \r\n")), tavelin::defaultOptions());
    for (const char* end : {"\n", "\r"})
      QCOMPARE(parseOptions(QByteArray(full).replace("\r\n", end)), tavelin::defaultOptions());
    // Every lone CR or LF ends a line: an empty line moves the rest down by one.
    QCOMPARE(parseOptions(" 1 \r\r 1 \r\n").flags, (std::array<int, 8>{1, 0, 1}));
  }

  void arbitraryBytes() {
    QRandomGenerator random(20240601);
    const char alphabet[] = {'\r', '\n', ' ', '0', '1', 'T', '\0', '\xc3', '\xff', 'a'};
    for (int round = 0; round < 300; ++round) {
      QByteArray bytes(random.bounded(200), Qt::Uninitialized);
      for (char& c : bytes) c = alphabet[random.bounded(int(sizeof alphabet))];
      const OptionValues v = parseOptions(bytes);
      for (const int flag : v.flags) QVERIFY(flag == 0 || flag == 1);
      for (const QChar c : QString(v.port + v.volume)) QVERIFY(c != u'\r' && c != u'\n');
      QVERIFY(v.dialMode != DialMode::Unset);
    }
  }
};

QTEST_GUILESS_MAIN(TestOptionsFile)
#include "test_options_file.moc"
