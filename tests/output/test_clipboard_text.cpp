#include <QTest>

#include "output/clipboard_text.h"

using namespace tavelin;

namespace {

FieldTexts fieldsOf(const QStringList& texts) {
  FieldTexts fields;
  for (qsizetype k = 0; k < texts.size(); ++k) fields[k] = texts[k];
  return fields;
}

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
  void import_data();
  void import();
  void copies();
  void copiedRecordImportsByPosition();
};

void ClipboardTextTest::import_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("pieces");  // up to the last one that is not empty
  const QString hundred = QString::fromLatin1("abcdefghij").repeated(10);
  QTest::newRow("lines and a comma")
      << "Smith, John\r\nMain Street 1\r\nSpringfield"
      << QStringList{"Smith", "John", "Main Street 1", "Springfield"};
  QTest::newRow("empty piece") << "a,,b" << QStringList{"a", "", "b"};
  QTest::newRow("80 characters") << hundred << QStringList{hundred.left(79), hundred.mid(81)};
  QTest::newRow("comma as the 80th")
      << QString(79, 'x') + ",y" << QStringList{QString(79, 'x'), "y"};
  // A character of two halves (U+1F600) is never cut in two, nor half of it skipped.
  const QString face = QStringLiteral("\U0001F600");
  QTest::newRow("80th is the second half")
      << QString(78, 'x') + face + "y" << QStringList{QString(78, 'x')};
  QTest::newRow("skipped after the 80th")
      << QString(80, 'x') + face + "z" << QStringList{QString(79, 'x'), "z"};
  QTest::newRow("LF alone") << "first\nsecond" << QStringList{"first", "econd"};
  QTest::newRow("tab") << "ab\tcd,ef" << QStringList{"ab", "d", "ef"};
  QTest::newRow("blanks") << "  a b  ,  c  " << QStringList{"a b", "c"};
  QTest::newRow("ends with CR LF") << "a\r\nb\r\n" << QStringList{"a", "b"};
  QTest::newRow("empty") << "" << QStringList{};
  QTest::newRow("fourteen at most")
      << "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16"
      << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"};
}

void ClipboardTextTest::import() {
  QFETCH(QString, text);
  QFETCH(QStringList, pieces);
  QCOMPARE(piecesOf(text), pieces);
}

void ClipboardTextTest::copies() {
  QCOMPARE(output::addressClipText(fieldsOf({"Only Name"})), "Only Name\r\n\r\n\r\n\r\n");
  const FieldTexts full = fieldsOf({"N", "A1", "", "A3", "P1", "", "", "P4", "e@x", "", "n2"});
  QCOMPARE(output::addressClipText(full), "N\r\nA1\r\n\r\nA3\r\n");
  QCOMPARE(output::recordClipText(full), "N\r\nA1\r\nA3\r\nP1\r\nP4\r\ne@x\r\nn2\r\n");
  QCOMPARE(output::recordClipText(FieldTexts{}), QString());
}

// The copy leaves out empty fields and the import is positional: Phone 1 lands in Address 2.
void ClipboardTextTest::copiedRecordImportsByPosition() {
  const FieldTexts record = fieldsOf({"Ann", "Street 1", "", "", "555 1234"});
  const FieldTexts pieces = output::importPieces(output::recordClipText(record));
  QCOMPARE(pieces[0], "Ann");
  QCOMPARE(pieces[1], "Street 1");
  QCOMPARE(pieces[2], "555 1234");
  QCOMPARE(pieces[4], QString());
}

QTEST_APPLESS_MAIN(ClipboardTextTest)
#include "test_clipboard_text.moc"
