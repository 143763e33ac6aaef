// The vCard and CSV writers: the bytes of a card, folding, stable UIDs, and the round trip
// of records through each format and back.
#include <QTest>

#include "exchange/csv_reader.h"
#include "exchange/csv_writer.h"
#include "exchange/vcard_reader.h"
#include "exchange/vcard_writer.h"
#include "exchange_cases.h"
#include "record_store/text_codec.h"

using namespace tavelin;
using namespace tavelin::exchange;
using namespace tavelin::test;

namespace {

// Records that break naive writers: every character a format escapes, sparse fields, names
// of one word and of several, characters outside the BMP and full 80-character fields; the
// last one every field full of a character that takes three bytes, the most a card can hold.
std::vector<FieldTexts> awkwardRecords() {
  std::vector<FieldTexts> records;
  for (const QString& r :
       {u"Ada Lovelace|12 St James, Square|London|UK|+44 20 7946 0000||||ada@example.org|"
        u"https://example.org/a?b=1;c|first|second"_qs,
        u"Cher||||||only the third phone||||||only Notes 4"_qs,
        u"Back\\slash; semi, comma: colon||only Address 2|||phone two||phone four||||||"
        u"Notes 5 \\n not a break"_qs,
        QString(u"Zoë 😀 Ünïcödé-Kruse|"_qs + QString(80, u'é') +
                u"||||||||web line, with comma|"_qs + QStringLiteral("😀").repeated(40)),
        u"Same Name||||||||one@example.org"_qs, u"Same Name||||||||two@example.org"_qs,
        u"Mary Ann  Evans|||only Address 3|p1|p2|p3|p4|||n2|n3|n4|n5"_qs,
        u"||||no name, a phone"_qs, u"tel:+1 555||||tel:+1 555;ext=5"_qs,
        u"Caret ^ and 'quote'|a^n|b^^|c^'"_qs,
        QStringList(kFieldCount, QString(kFieldWidth, u'€')).join(u'|')}) {
    records.push_back(fieldsOf(r));
  }
  return records;
}

// One record of every kind of field the writers map, with a gap among the phones and notes.
const FieldTexts kAda = fieldsOf(
    u"Ada King Lovelace|12 Square|London|||0201|||ada@example.org|https://ada.example|one||"
    u"three, with comma"_qs);

}  // namespace

class ExchangeWritersTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void card_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray uid = contactUid(u"Ada King Lovelace", 1).toUtf8();
    QTest::newRow("3.0") << int(VCardVersion::V30)
                         << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada King Lovelace\r\n"
                            "N:Lovelace;Ada King;;;\r\nADR:;;12 Square;London;;;\r\n"
                            "LABEL:12 Square\\nLondon\r\nTEL;X-TAVELIN-PHONE=2:0201\r\n"
                            "EMAIL;TYPE=INTERNET:ada@example.org\r\nURL:https://ada.example\r\n"
                            "NOTE:one\\n\\nthree\\, with comma\r\nUID:" +
                                uid + "\r\nEND:VCARD\r\n";
    QTest::newRow("4.0") << int(VCardVersion::V40)
                         << "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ada King Lovelace\r\n"
                            "N:Lovelace;Ada King;;;\r\n"
                            "ADR;LABEL=\"12 Square^nLondon\":;;12 Square;London;;;\r\n"
                            "TEL;X-TAVELIN-PHONE=2:0201\r\nEMAIL:ada@example.org\r\n"
                            "URL:https://ada.example\r\nNOTE:one\\n\\nthree\\, with comma\r\n"
                            "UID:" +
                                uid + "\r\nEND:VCARD\r\n";
  }

  void card() {
    QFETCH(int, version);
    QFETCH(QByteArray, expected);
    QCOMPARE(writeVCards({kAda, FieldTexts{}}, VCardVersion(version)), expected);
  }

  void folding() {
    // Every line at most 75 octets, each a whole run of UTF-8 characters, and unfolding gives
    // the property back.
    const QString name = QString(30, u'x') + QString(60, u'é') + QStringLiteral("😀").repeated(20);
    const QByteArray out = writeVCards({fieldsOf(name)}, VCardVersion::V30);
    QByteArray unfolded;
    for (QByteArrayView line : splitLines(QByteArrayView(out))) {
      QVERIFY2(line.size() <= 75, line.toByteArray().constData());
      QVERIFY(isValidUtf8(line));
      if (line.startsWith(' ')) {
        unfolded += line.sliced(1);
      } else {
        unfolded += "\n" + line.toByteArray();
      }
    }
    QVERIFY(out.count("\r\n ") >= 3);
    QVERIFY(unfolded.contains(QByteArray("\nFN:" + name.toUtf8() + "\n")));
  }

  void uids() {
    // The same from one export to the next, numbered on for records of the same name (the
    // pinned UIDs below tell them apart).
    const QByteArray first = writeVCards(awkwardRecords(), VCardVersion::V30);
    QCOMPARE(writeVCards(awkwardRecords(), VCardVersion::V30), first);
    QVERIFY(first.contains(QByteArray("UID:" + contactUid(u"Same Name", 1).toUtf8() + "\r\n")));
    QVERIFY(first.contains(QByteArray("UID:" + contactUid(u"Same Name", 2).toUtf8() + "\r\n")));
    QCOMPARE(first.count("UID:"), qsizetype(awkwardRecords().size()));
  }

  void uidsStayTheSame_data() {
    // Written by earlier exports: a new one must give each record the same UID again.
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<QString>("uid");
    QTest::newRow("first") << "Ada King Lovelace" << 1
                           << "urn:uuid:5773b114-a7ac-556c-be4c-84b4be33f505";
    QTest::newRow("second of the name")
        << "Ada King Lovelace" << 2 << "urn:uuid:ce99236b-81e1-5cb1-997e-2571b2d467e3";
    QTest::newRow("beyond Latin-1")
        << QString::fromUtf8("Zoë 😀 Kruse") << 1 << "urn:uuid:4dfeb98b-b6b5-537b-a920-4ee37b334f70";
    QTest::newRow("no name") << "" << 3 << "urn:uuid:45f9cdf6-1acb-5de7-a1ba-0a0a14a088ba";
  }

  void uidsStayTheSame() {
    QFETCH(QString, name);
    QFETCH(int, occurrence);
    QFETCH(QString, uid);
    QCOMPARE(contactUid(name, occurrence), uid);
  }

  void roundTrip_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("vCard 3.0") << "3.0";
    QTest::newRow("vCard 4.0") << "4.0";
    QTest::newRow("CSV") << "csv";
  }

  void roundTrip() {
    QFETCH(QString, format);
    const std::vector<FieldTexts> records = awkwardRecords();
    const bool csv = format == u"csv";
    const QByteArray bytes =
        csv ? writeCsv(records)
            : writeVCards(records, format == u"4.0" ? VCardVersion::V40 : VCardVersion::V30);
    const ReadContacts read = csv ? readCsv(bytes) : readVCards(bytes);
    QCOMPARE(read.unreadable, 0);
    QStringList expected;
    for (const FieldTexts& r : records) expected << joined(r);
    QCOMPARE(joinedAll(read), expected);
    for (const Contact& c : read.contacts) QVERIFY(c.overflow.isEmpty());
  }

  void csvCells() {
    const QByteArray out = writeCsv({fieldsOf(u"A \"B\" C||||||||||x|y, z"_qs)});
    const QList<QByteArray> lines = out.split('\n');
    QVERIFY(lines[0].startsWith("First Name,Middle Name,Last Name,"));
    QVERIFY(lines[0].endsWith("Website 1 - Label,Website 1 - Value\r"));
    QVERIFY(lines[1].startsWith("\"A \"\"B\"\"\",,C,"));  // a quote doubled inside quotes
    QVERIFY(out.contains(",\"x\ny, z\","));
  }
};

QTEST_GUILESS_MAIN(ExchangeWritersTest)
#include "test_exchange_writers.moc"
