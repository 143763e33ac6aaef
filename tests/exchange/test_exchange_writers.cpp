// The vCard and CSV writers: the bytes of a card, folding, stable UIDs, and the round trip
// of records through each format and back.
#include <QTest>
#include <QUuid>

#include "exchange/csv_reader.h"
#include "exchange/csv_writer.h"
#include "exchange/vcard_reader.h"
#include "exchange/vcard_writer.h"
#include "record_store/text_codec.h"

using namespace tavelin;
using namespace tavelin::exchange;

Q_DECLARE_METATYPE(tavelin::FieldTexts)

namespace {

FieldTexts record(std::initializer_list<std::pair<int, QString>> values) {
  FieldTexts f;
  for (const auto& [k, v] : values) f[k] = v;
  return f;
}

// Every field full, of a character that takes three bytes: the most a card can hold.
FieldTexts fullest() {
  FieldTexts f;
  f.fill(QString(kFieldWidth, u'€'));
  return f;
}

// Records that break naive writers: every character a format escapes, sparse fields,
// names of one word and of several, characters outside the BMP and full 80-character fields.
std::vector<FieldTexts> awkwardRecords() {
  return {
      record({{0, "Ada Lovelace"},
              {1, "12 St James, Square"},
              {2, "London"},
              {3, "UK"},
              {4, "+44 20 7946 0000"},
              {8, "ada@example.org"},
              {9, "https://example.org/a?b=1;c"},
              {10, "first"},
              {11, "second"}}),
      record({{0, "Cher"}, {6, "only the third phone"}, {12, "only Notes 4"}}),
      record({{0, "Back\\slash; semi, comma: colon"},
              {2, "only Address 2"},
              {5, "phone two"},
              {7, "phone four"},
              {13, "Notes 5 \\n not a break"}}),
      record({{0, "Zoë 😀 Ünïcödé-Kruse"},
              {1, QString(80, u'é')},
              {10, QStringLiteral("😀").repeated(40)},
              {9, "web line, with comma"}}),
      record({{0, "Same Name"}, {8, "one@example.org"}}),
      record({{0, "Same Name"}, {8, "two@example.org"}}),
      record({{0, "Mary Ann  Evans"},
              {3, "only Address 3"},
              {4, "p1"},
              {5, "p2"},
              {6, "p3"},
              {7, "p4"},
              {10, "n2"},
              {11, "n3"},
              {12, "n4"},
              {13, "n5"}}),
      record({{4, "no name, a phone"}}),
      record({{0, "tel:+1 555"}, {4, "tel:+1 555;ext=5"}}),
      record({{0, "Caret ^ and 'quote'"}, {1, "a^n"}, {2, "b^^"}, {3, "c^'"}}),
      fullest(),
  };
}

std::vector<FieldTexts> fieldsOf(const ReadContacts& read) {
  std::vector<FieldTexts> out;
  for (const Contact& c : read.contacts) out.push_back(c.fields);
  return out;
}

// One record of every kind of field the writers map, with a gap among the phones and notes.
FieldTexts ada() {
  return record({{0, "Ada King Lovelace"},
                 {1, "12 Square"},
                 {2, "London"},
                 {5, "0201"},
                 {8, "ada@example.org"},
                 {9, "https://ada.example"},
                 {10, "one"},
                 {12, "three, with comma"}});
}

}  // namespace

class ExchangeWritersTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void card_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("expected");
    const FieldTexts r = ada();
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
    const FieldTexts r = ada();
    QCOMPARE(writeVCards({r, FieldTexts{}}, VCardVersion(version)), expected);
  }

  void folding() {
    // Every line at most 75 octets, each a whole run of UTF-8 characters, and unfolding gives
    // the property back.
    const QString name = QString(30, u'x') + QString(60, u'é') + QStringLiteral("😀").repeated(20);
    const QByteArray out = writeVCards({record({{0, name}})}, VCardVersion::V30);
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
    // The same from one export to the next, different for records of the same name.
    const QByteArray first = writeVCards(awkwardRecords(), VCardVersion::V30);
    QCOMPARE(writeVCards(awkwardRecords(), VCardVersion::V30), first);
    QVERIFY(first.contains(QByteArray("UID:" + contactUid(u"Same Name", 1).toUtf8() + "\r\n")));
    QVERIFY(first.contains(QByteArray("UID:" + contactUid(u"Same Name", 2).toUtf8() + "\r\n")));
    QVERIFY(contactUid(u"Same Name", 1) != contactUid(u"Same Name", 2));
    QVERIFY(contactUid(u"Same Name", 1) != contactUid(u"Same Nam", 1));
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
    // RFC 4122's name-based UUID, as Qt makes it.
    const QUuid ns(QStringLiteral("{6a1f1c52-3c1e-4f55-9d0b-7a5e2c0d8e41}"));
    const QString key = occurrence > 1 ? name + u'#' + QString::number(occurrence) : name;
    QCOMPARE(u"urn:uuid:" + QUuid::createUuidV5(ns, key).toString(QUuid::WithoutBraces), uid);
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
    const std::vector<FieldTexts>& expected = records;
    const std::vector<FieldTexts> got = fieldsOf(read);
    QCOMPARE(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      for (int k = 0; k < kFieldCount; ++k) {
        QVERIFY2(got[i][k] == expected[i][k],
                 qPrintable(QStringLiteral("record %1 field %2: %3 / %4")
                                .arg(i)
                                .arg(k)
                                .arg(got[i][k], expected[i][k])));
      }
      QVERIFY(read.contacts[i].overflow.isEmpty());
    }
  }

  void csvCells() {
    const QByteArray out = writeCsv({record({{0, "A \"B\" C"}, {10, "x"}, {11, "y, z"}})});
    const QList<QByteArray> lines = out.split('\n');
    QVERIFY(lines[0].startsWith("First Name,Middle Name,Last Name,"));
    QVERIFY(lines[0].endsWith("Website 1 - Label,Website 1 - Value\r"));
    QVERIFY(lines[1].startsWith("\"A \"\"B\"\"\",,C,"));  // a quote doubled inside quotes
    QVERIFY(out.contains(",\"x\ny, z\","));
  }
};

QTEST_GUILESS_MAIN(ExchangeWritersTest)
#include "test_exchange_writers.moc"
