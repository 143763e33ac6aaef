// Cards read in two pieces on two threads: where the bytes may be cut, and that whatever the
// cut chosen there, the contacts, their order and the counts are those of one piece.
#include <QTest>

#include "exchange/vcard_reader.h"

using namespace tavelin;
using namespace tavelin::exchange;

namespace {

struct Read {
  std::vector<FieldTexts> fields;
  std::vector<QStringList> overflow;
  CardCounts counts;
};

Read readCut(QByteArrayView bytes, qsizetype cut) {
  Read read;
  read.counts = readVCardsInTwo(bytes, cut, [&read](Contact&& c) {
    read.fields.push_back(c.fields);
    read.overflow.push_back(c.overflow);
  });
  return read;
}

QByteArray card(const QByteArray& body) {
  return "BEGIN:VCARD\r\n" + body + "END:VCARD\r\n";
}

const QByteArray kQp = "NOTE;ENCODING=QUOTED-PRINTABLE:";

}  // namespace

class VCardSplitTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void boundary_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("cut");  // -1: nowhere
    const QByteArray a = card("FN:A\r\n"), b = card("FN:B\r\n");
    QTest::newRow("the second card") << a + b << 1 << int(a.size());
    QTest::newRow("from the second card's first byte") << a + b << int(a.size()) << int(a.size());
    QTest::newRow("past the last card") << a + b << int(a.size()) + 1 << -1;
    QTest::newRow("never the first byte") << a << 0 << -1;
    QTest::newRow("line feeds only")
        << QByteArray("BEGIN:VCARD\nFN:A\nEND:VCARD\nBEGIN:VCARD\n") << 1 << 27;
    QTest::newRow("a byte-order mark first") << "\xEF\xBB\xBF" + a + b << 0 << int(a.size()) + 3;
    QTest::newRow("after a soft line break")
        << card(kQp + "x=\r\n") + "FN:A\r\n" + kQp + "y=\r\n" + b << 1 << -1;
    QTest::newRow("after a soft line break, the next card")
        << kQp + "y=\r\n" + b + b << 1 << int(kQp.size() + 4 + b.size());
    QTest::newRow("a soft line break with a line feed only") << kQp + "y=\n" + b << 1 << -1;
    QTest::newRow("a folded BEGIN line") << a + "BEGIN:VCARD\r\n X\r\n" << 1 << -1;
    QTest::newRow("a fold of the line before") << a + " more\r\n" + b << 1 << int(a.size() + 7);
    QTest::newRow("blanks after BEGIN:VCARD") << a + "BEGIN:VCARD \r\n" << 1 << -1;
    QTest::newRow("lower case") << a + "begin:vcard\r\n" << 1 << -1;
    QTest::newRow("a lone carriage return") << a + "BEGIN:VCARD\r" << 1 << -1;
    QTest::newRow("the end of the bytes right after") << a + "BEGIN:VCARD\n" << 1 << int(a.size());
    QTest::newRow("after a line too long to keep")
        << "NOTE:" + QByteArray(VCardReader::kMaxLineBytes, 'n') + "\r\n" + b << 1 << -1;
  }

  void boundary() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, from);
    QFETCH(int, cut);
    QCOMPARE(cardBoundary(bytes, from), qsizetype(cut));
  }

  void inTwo_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray a = card("FN:A\r\nTEL:1\r\n"), b = card("FN:B\r\nNOTE:x\\ny\r\n");
    QTest::newRow("whole cards") << a + b + a;
    QTest::newRow("a card never ended before the cut") << "BEGIN:VCARD\r\nFN:C\r\n" + a + b;
    QTest::newRow("a card never ended across the cut") << a + "BEGIN:VCARD\r\nFN:C\r\n" + b;
    QTest::newRow("a card never ended at the end") << a + b + "BEGIN:VCARD\r\nFN:C\r\n";
    QTest::newRow("folded lines, one a BEGIN line")
        << "BEGIN:VCARD\r\nFN:C\r\nBEGIN:VCARD\r\n X-A:1\r\nFN:D\r\nEND:VCARD\r\n" + b +
               "NOTE:x\r\n BEGIN:VCARD\r\n" + a;
    QTest::newRow("soft line breaks before BEGIN lines")
        << card("FN:E\r\n" + kQp + "x=\r\n") + kQp + "y=\r\n" + b + kQp + "=\r\n\r\n" + a;
    QTest::newRow("a soft line break of an empty line, then BEGIN")
        << card("FN:F\r\n" + kQp + "a==\r\n\r\nBEGIN:VCARD\r\nFN:G\r\n") + b;
    QTest::newRow("a byte-order mark, line feeds only")
        << "\xEF\xBB\xBF" + QByteArray(a + b + a).replace("\r\n", "\n");
    QTest::newRow("carriage returns and line feeds mixed")
        << QByteArray(a).replace("\r\n", "\n") + b + QByteArray(a).replace("\r\n", "\n");
    QTest::newRow("an empty card, a broken card and END outside")
        << card("UID:x\r\n") + "END:VCARD\r\n" + card("FN:H\r\nEND:VCARD\r\n") + a;
    QTest::newRow("a property too long before a card")
        << card("FN:Long\r\nNOTE:" + QByteArray(VCardReader::kMaxLineBytes + 5, 'n') + "=\r\n") + b;
  }

  void inTwo() {
    // Every place that may be cut reads as one piece does.
    QFETCH(QByteArray, bytes);
    const Read whole = readCut(bytes, -1);
    QVERIFY(whole.counts.cards > 0);
    qsizetype cuts = 0;
    for (qsizetype from = 0;;) {
      const qsizetype cut = cardBoundary(bytes, from);
      if (cut < 0) break;
      const Read pieces = readCut(bytes, cut);
      QCOMPARE(pieces.fields, whole.fields);
      QCOMPARE(pieces.overflow, whole.overflow);
      QCOMPARE(pieces.counts.cards, whole.counts.cards);
      QCOMPARE(pieces.counts.unreadable, whole.counts.unreadable);
      ++cuts;
      from = cut + 1;
    }
    QVERIFY(cuts > 0);
  }

  void big_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("contacts");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<QString>("last");
    QByteArray many;
    for (int i = 0; i < 4000; ++i) {
      many += card("FN:Person " + QByteArray::number(i) + "\r\nNOTE:" + QByteArray(40, 'n') +
                   "\r\n " + QByteArray(30, 'm') + "\r\n");
    }
    QTest::newRow("4000 cards") << many << 4000 << 0 << "Person 3999";
    // Past the middle no line may be cut: the whole is read in one piece.
    const QByteArray soft = kQp + QByteArray(100, 'q') + "=\r\nBEGIN:VCARD\r\n";
    QTest::newRow("one soft line break after another")
        << many + "BEGIN:VCARD\r\nFN:Last\r\n" + soft.repeated(5000) + "END:VCARD\r\n"
        << 4001 << 0 << "Last";
    QByteArray broken = many;
    broken.replace("END:VCARD\r\nBEGIN:VCARD\r\nFN:Person 2000", "BEGIN:VCARD\r\nFN:Person 2000");
    QTest::newRow("the middle card never ended") << broken << 3999 << 1 << "Person 3999";
    // Cards never ended wherever the pieces may begin or end.
    QByteArray scattered = many;
    for (int i = 250; i < 4000; i += 250) {
      const QByteArray name = "FN:Person " + QByteArray::number(i) + "\r\n";
      scattered.replace(QByteArray("END:VCARD\r\nBEGIN:VCARD\r\n" + name),
                        QByteArray("BEGIN:VCARD\r\n" + name));
    }
    QTest::newRow("a card in 250 never ended") << scattered << 3985 << 15 << "Person 3999";
  }

  void big() {
    // Past kSplitBytes the cards are read in pieces on two threads, in the file's order.
    QFETCH(QByteArray, bytes);
    QFETCH(int, contacts);
    QFETCH(int, unreadable);
    QFETCH(QString, last);
    QVERIFY(bytes.size() > kSplitBytes);
    QVERIFY(piecesOf(bytes).size() > 2);  // read by both threads, a piece at a time
    std::vector<FieldTexts> fields;
    const CardCounts counts =
        readVCardsWhole(bytes, [&fields](Contact&& c) { fields.push_back(c.fields); });
    const Read one = readCut(bytes, -1);
    QCOMPARE(fields, one.fields);
    QCOMPARE(counts.cards, one.counts.cards);
    QCOMPARE(counts.unreadable, unreadable);
    QCOMPARE(one.counts.unreadable, unreadable);
    QCOMPARE(fields.size(), size_t(contacts));
    QCOMPARE(fields.back()[kFullName], last);
  }
};

QTEST_GUILESS_MAIN(VCardSplitTest)
#include "test_vcard_split.moc"
