#include <QTest>

#include "output/clipboard_text.h"

using namespace tavelin;

namespace {

FieldTexts fieldsOf(const QStringList& texts) {
  FieldTexts fields;
  for (qsizetype k = 0; k < texts.size(); ++k) fields[k] = texts[k];
  return fields;
}

// The pieces of an import up to the last one that is not empty.
QStringList piecesOf(const QString& text) {
  const FieldTexts pieces = output::importPieces(text);
  QStringList out(pieces.begin(), pieces.end());
  while (!out.isEmpty() && out.back().isEmpty()) out.removeLast();
  return out;
}

}  // namespace

class ClipboardTextTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void import() {
    const QString hundred = QString("abcdefghij").repeated(10);
    // A character of two halves (U+1F600) is never cut in two, nor half of it skipped.
    const QString face = QStringLiteral("\U0001F600");
    const std::pair<QString, QStringList> cases[] = {
        {"Smith, John\r\nMain Street 1\r\nSpringfield",
         {"Smith", "John", "Main Street 1", "Springfield"}},
        {"a,,b", {"a", "", "b"}},
        {hundred, {hundred.left(79), hundred.mid(81)}},            // 80 characters a piece
        {QString(79, 'x') + ",y", {QString(79, 'x'), "y"}},        // the comma as the 80th
        {QString(78, 'x') + face + "y", {QString(78, 'x')}},       // 80th is the second half
        {QString(80, 'x') + face + "z", {QString(79, 'x'), "z"}},  // skipped after the 80th
        {"first\nsecond", {"first", "econd"}},                     // LF alone
        {"ab\tcd,ef", {"ab", "d", "ef"}},
        {"  a b  ,  c  ", {"a b", "c"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"", {}},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16",  // fourteen at most
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}},
    };
    for (const auto& [text, pieces] : cases) QCOMPARE(piecesOf(text), pieces);
  }

  void copies() {
    QCOMPARE(output::addressClipText(fieldsOf({"Only Name"})), "Only Name\r\n\r\n\r\n\r\n");
    const FieldTexts full = fieldsOf({"N", "A1", "", "A3", "P1", "", "", "P4", "e@x", "", "n2"});
    QCOMPARE(output::addressClipText(full), "N\r\nA1\r\n\r\nA3\r\n");
    QCOMPARE(output::recordClipText(full), "N\r\nA1\r\nA3\r\nP1\r\nP4\r\ne@x\r\nn2\r\n");
    QCOMPARE(output::recordClipText(FieldTexts{}), QString());
    // The copy leaves out empty fields and the import is positional: Phone 1 lands in Address 2.
    const FieldTexts record = fieldsOf({"Ann", "Street 1", "", "", "555 1234"});
    QCOMPARE(piecesOf(output::recordClipText(record)),
             QStringList({"Ann", "Street 1", "555 1234"}));
  }
};

QTEST_APPLESS_MAIN(ClipboardTextTest)
#include "test_clipboard_text.moc"
