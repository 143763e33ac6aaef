// A Tavelin edit goes into the card last fetched: the card reads back with the new fields,
// and every line the fields do not show stays as the server had it, byte for byte.
#include <QTest>

#include "sync/card_merge.h"

using namespace tavelin;
using namespace tavelin::sync;

using Changes = QMap<int, QString>;
using Lines = QList<QByteArray>;
Q_DECLARE_METATYPE(Changes)

namespace {

const QByteArray kRich =
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "PRODID:-//Other//EN\r\n"
    "UID:abc-1\r\n"
    "FN:Ann Lee\r\n"
    "N:Lee;Ann;;;\r\n"
    "ORG:Acme;Sales\r\n"
    "BDAY:1980-04-01\r\n"
    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAMCAgICAgMCAgIDAwMDBAYE\r\n"
    " BAQEBAgGBgUGCQgKCgkICQkKDA8MCgsOCwkJDRENDg8QEBEQCgwSExIQEw8QEBD/\r\n"
    "TEL;TYPE=CELL:+1 555 0101\r\n"
    "item1.TEL:+1 555 0102\r\n"
    "item1.X-ABLABEL:Boat\r\n"
    "TEL;TYPE=WORK:+1 555 0103\r\n"
    "TEL;TYPE=HOME:+1 555 0104\r\n"
    "TEL;TYPE=FAX:+1 555 0105\r\n"
    "EMAIL;TYPE=INTERNET:ann@example.org\r\n"
    "EMAIL;TYPE=INTERNET:ann@work.example\r\n"
    "URL:https://ann.example\r\n"
    "ADR;TYPE=HOME:;;1 Main St;Springfield;;;USA\r\n"
    "ADR;TYPE=WORK:;;9 Side Rd;Shelbyville;;;USA\r\n"
    "NOTE:one\\ntwo\\nthree\\nfour\\nfive\\nsix\r\n"
    "X-SOCIAL;TYPE=mastodon:@ann@example.social\r\n"
    "END:VCARD\r\n";

// The lines of the card the fields do not show: none may change, whatever the edit.
const Lines kRichKept = {
    "PRODID:-//Other//EN\r\n",
    "ORG:Acme;Sales\r\n",
    "BDAY:1980-04-01\r\n",
    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAMCAgICAgMCAgIDAwMDBAYE\r\n"
    " BAQEBAgGBgUGCQgKCgkICQkKDA8MCgsOCwkJDRENDg8QEBEQCgwSExIQEw8QEBD/\r\n",
    "item1.X-ABLABEL:Boat\r\n",
    "TEL;TYPE=FAX:+1 555 0105\r\n",
    "EMAIL;TYPE=INTERNET:ann@work.example\r\n",
    "ADR;TYPE=WORK:;;9 Side Rd;Shelbyville;;;USA\r\n",
    "X-SOCIAL;TYPE=mastodon:@ann@example.social\r\n",
};

const QByteArray kPlain4 =
    "BEGIN:VCARD\nVERSION:4.0\nUID:urn:uuid:x-2\nFN:Bo Ek\nN:Ek;Bo;;;\n"
    "ADR;LABEL=\"1 Old Way\":;;1 Old Way;;;;\nTEL;VALUE=uri:tel:+46-8-555\n"
    "X-ONE:kept\nEND:VCARD\n";

}  // namespace

class CardMergeTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void merge_data() {
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<Lines>("kept");     // lines that must stay as they were
    QTest::addColumn<Lines>("written");  // lines the edit must write
    QTest::addColumn<Lines>("gone");     // lines the edit must take out
    const auto row = [](const char* name, const QByteArray& card, const Changes& changes,
                        const Lines& kept, const Lines& written, const Lines& gone = {}) {
      QTest::newRow(name) << card << changes << kept << written << gone;
    };
    row("rename", kRich, {{0, u"Ann Q Lee-Park"_qs}},
        kRichKept + Lines{"TEL;TYPE=CELL:+1 555 0101\r\n"},
        {"FN:Ann Q Lee-Park\r\n", "N:Lee-Park;Ann Q;;;\r\n"}, {"FN:Ann Lee\r\n"});
    row("second phone, grouped", kRich, {{5, u"+1 555 0199"_qs}},
        kRichKept + Lines{"FN:Ann Lee\r\n"}, {"item1.TEL:+1 555 0199\r\n"},
        {"item1.TEL:+1 555 0102\r\n"});
    // Without a fifth number to fill the gap, the others keep their fields.
    row("first phone cleared", QByteArray(kRich).replace("TEL;TYPE=FAX:+1 555 0105\r\n", ""),
        {{4, QString()}}, kRichKept.mid(0, 5), {"item1.TEL;X-TAVELIN-PHONE=2:+1 555 0102\r\n"},
        {"TEL;TYPE=CELL:+1 555 0101\r\n"});
    row("first e-mail and web", kRich, {{8, u"a@b.example"_qs}, {9, QString()}}, kRichKept,
        {"EMAIL;TYPE=INTERNET:a@b.example\r\n"}, {"URL:https://ann.example\r\n"});
    row("address", kRich, {{1, u"2 New St; Flat 3"_qs}, {2, u"12345 Ogden"_qs}}, kRichKept,
        {"ADR;TYPE=HOME:;;2 New St\\; Flat 3;12345 Ogden;;;USA\r\n"},
        {"ADR;TYPE=HOME:;;1 Main St;Springfield;;;USA\r\n"});
    row("a note line, a longer note", kRich, {{11, u"TWO"_qs}}, kRichKept,
        {"NOTE:one\\nTWO\\nthree\\nfour\\nfive\\nsix\r\n"});
    row("notes cleared, a longer note", kRich, {{10, {}}, {11, {}}, {12, {}}, {13, {}}}, kRichKept,
        {"NOTE:\\n\\n\\n\\nfive\\nsix\r\n"});
    row("vCard 4.0: address label and phone uri", kPlain4,
        {{1, u"7 New Way"_qs}, {4, u"tel:0800"_qs}},
        {"X-ONE:kept\n", "FN:Bo Ek\n", "UID:urn:uuid:x-2\n"},
        {"ADR:;;7 New Way;;;;\r\n", "TEL;VALUE=text:tel:0800\r\n"},
        {"ADR;LABEL=\"1 Old Way\":;;1 Old Way;;;;\n"});
    row("fields the card did not have",
        "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:u3\r\nN:Roe;Jo;;;\r\nX-A:1\r\nEND:VCARD\r\n",
        {{0, u"Jo Roe"_qs}, {6, u"333"_qs}, {8, u"jo@x.example"_qs}, {12, u"n3"_qs}},
        {"X-A:1\r\n", "UID:u3\r\n"}, {"FN:Jo Roe\r\n", "EMAIL;TYPE=INTERNET:jo@x.example\r\n"});
  }
  void merge() {
    QFETCH(QByteArray, card);
    QFETCH(Changes, changes);
    QFETCH(Lines, kept);
    QFETCH(Lines, written);
    QFETCH(Lines, gone);

    const std::optional<FieldTexts> before = cardFields(card);
    QVERIFY(before);
    FieldTexts after = *before;
    for (auto it = changes.begin(); it != changes.end(); ++it) after[size_t(it.key())] = it.value();

    const QByteArray merged = mergeCard(card, *before, after, cardUid(card));
    const std::optional<FieldTexts> read = cardFields(merged);
    QVERIFY2(read, merged.constData());
    for (int k = 0; k < kFieldCount; ++k) {
      QCOMPARE((*read)[size_t(k)], after[size_t(k)]);
    }
    for (const QByteArray& line : kept) QVERIFY2(merged.contains(line), line.constData());
    for (const QByteArray& line : written) QVERIFY2(merged.contains(line), merged.constData());
    for (const QByteArray& line : gone) QVERIFY2(!merged.contains(line), merged.constData());
    QCOMPARE(merged.count("UID:"), 1);
    QCOMPARE(cardUid(merged), cardUid(card));
    QVERIFY(merged.startsWith("BEGIN:VCARD"));
    QVERIFY(merged.trimmed().endsWith("END:VCARD"));
  }
  void unchangedCardStaysAsItWas_data() {
    QTest::addColumn<QByteArray>("card");
    QTest::newRow("rich") << kRich;
    QTest::newRow("4.0, LF only") << kPlain4;
    QTest::newRow("2.1 quoted-printable") << QByteArray(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nUID:q\r\nFN;ENCODING=QUOTED-PRINTABLE:J=C3=B6rg=\r\n"
        " Berg\r\nEND:VCARD\r\n");
  }
  void unchangedCardStaysAsItWas() {
    QFETCH(QByteArray, card);
    const std::optional<FieldTexts> fields = cardFields(card);
    QVERIFY(fields);
    QCOMPARE(mergeCard(card, *fields, *fields, cardUid(card)), card);
    // A new UID changes the UID line and nothing else.
    const QByteArray renamed = mergeCard(card, *fields, *fields, u"fresh-uid"_qs);
    QCOMPARE(cardUid(renamed), u"fresh-uid"_qs);
    const auto withoutUid = [](const QByteArray& bytes) {
      QByteArrayList kept;
      for (const QByteArray& line : bytes.split('\n')) {
        if (!line.startsWith("UID:")) kept << line.trimmed();
      }
      return kept;
    };
    QCOMPARE(withoutUid(renamed), withoutUid(card));
  }
  // A new card, and a record line, carry the fields and read back as they were.
  void newCardAndLine() {
    FieldTexts fields;
    fields[0] = u"\u00c5sa \u00d6berg"_qs;
    fields[5] = u"555-2"_qs;
    fields[9] = u"https://x.example/a,b"_qs;
    fields[13] = u"last note line"_qs;
    const QByteArray card = newCard(fields, u"0f0e-uid"_qs);
    QCOMPARE(cardUid(card), u"0f0e-uid"_qs);
    QCOMPARE(card.count("UID:"), 1);
    QVERIFY(
        card.contains("FN:\xc3\x85sa \xc3\x96"
                      "berg\r\n"));
    QCOMPARE(cardFields(card), std::optional<FieldTexts>(fields));
    QCOMPARE(lineFields(fieldsLine(fields)), std::optional<FieldTexts>(fields));
    QVERIFY(!lineFields(u"\"unclosed"_qs));
  }
};

QTEST_GUILESS_MAIN(CardMergeTest)
#include "test_card_merge.moc"
