// The vCard reader over what real programs write: 2.1 with quoted-printable and character
// sets, 3.0 and 4.0 with their escapes, groups and URIs, and damaged input.
#include <QTest>

#include "exchange/vcard_reader.h"

using namespace tavelin;
using namespace tavelin::exchange;

namespace {

using Fields = QMap<int, QString>;  // the fields expected not to be empty

ReadContacts readInPieces(const QByteArray& bytes, qsizetype piece) {
  ReadContacts read;
  VCardReader reader([&read](Contact&& c) { read.contacts.push_back(std::move(c)); });
  for (qsizetype at = 0; at < bytes.size(); at += piece) {
    reader.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
  }
  reader.finish();
  read.unreadable = reader.unreadable();
  read.anyCard = reader.cards() > 0;
  return read;
}

Fields nonEmpty(const Contact& c) {
  Fields f;
  for (int k = 0; k < kFieldCount; ++k) {
    if (!c.fields[k].isEmpty()) f.insert(k, c.fields[k]);
  }
  return f;
}

QByteArray card(const QByteArray& body) {
  return "BEGIN:VCARD\r\n" + body + "END:VCARD\r\n";
}

}  // namespace

class VCardReaderTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void oneCard_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QStringList>("overflow");

    QTest::newRow("3.0 as GNOME Contacts writes it")
        << card(
               "VERSION:3.0\r\nFN:Ada Lovelace\r\nN:Lovelace;Ada;;;\r\n"
               "ADR;TYPE=HOME:;;12 St James\\, Square;London;;SW1Y 4JH;UK\r\n"
               "TEL;TYPE=CELL:+44 20 7946 0000\r\nTEL;TYPE=HOME:020 7946 0001\r\n"
               "EMAIL;TYPE=INTERNET:ada@example.org\r\nURL:https://example.org/ada\r\n"
               "NOTE:first\\nsecond\\; with semicolon\\nthird \\\\ backslash\r\n")
        << Fields{{0, "Ada Lovelace"},
                  {1, "12 St James, Square"},
                  {2, "SW1Y 4JH London"},
                  {3, "UK"},
                  {4, "+44 20 7946 0000"},
                  {5, "020 7946 0001"},
                  {8, "ada@example.org"},
                  {9, "https://example.org/ada"},
                  {10, "first"},
                  {11, "second; with semicolon"},
                  {12, "third \\ backslash"}}
        << QStringList();
    QTest::newRow("2.1 as Android writes it: quoted-printable UTF-8, soft breaks, bare types")
        << card(
               "VERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;"
               "\r\n"
               "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BC=\r\nller\r\n"
               "TEL;HOME:0301234\r\nTEL;CELL;PREF:0171 5550100\r\n"
               "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;Stra=C3=9Fe 1;Berlin;;10115;\r\n"
               "NOTE;ENCODING=QUOTED-PRINTABLE:line one=0D=0Aline two\r\n")
        << Fields{{0, "Jürgen Müller"}, {1, "Straße 1"},  {2, "10115 Berlin"}, {4, "0171 5550100"},
                  {5, "0301234"},       {10, "line one"}, {11, "line two"}}
        << QStringList();
    QTest::newRow("2.1 as old Nokia phones write it: Windows-1252 and ISO-8859-15")
        << card(
               "VERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Ren=E9;;;;\r\n"
               "NOTE;CHARSET=WINDOWS-1252:costs \x80 5\r\n"
               "X-NOTE;CHARSET=ISO-8859-15:ignored\r\n"
               "TITLE;CHARSET=ISO-8859-15:Caf\xE9 \xA4\r\n")
        << Fields{{0, "René"}, {10, "costs € 5"}} << QStringList{"Title: Café €"};
    QTest::newRow("2.1 from evolution: a soft break followed by a blank")
        << card(
               "VERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Jos=C3=\r\n =A9 Mar=\r\n "
               "=C3=ADa\r\n")
        << Fields{{0, "José María"}} << QStringList();
    QTest::newRow("Apple's groups: the label names the kept-aside address")
        << card(
               "VERSION:3.0\r\nFN:Tim\r\nitem1.ADR;type=HOME;type=pref:;;1 "
               "Loop;Cupertino;CA;95014;USA\r\n"
               "item1.X-ABADR:us\r\nitem2.ADR:;;2 Park;Palo Alto;CA;94301;USA\r\n"
               "item2.X-ABLabel:_$!<Other>!$_\r\nitem3.URL:https://a.example\r\n"
               "item3.X-ABLabel:_$!<HomePage>!$_\r\nitem4.URL:https://b.example\r\n"
               "item4.X-ABLabel:blog\r\n")
        << Fields{{0, "Tim"},
                  {1, "1 Loop"},
                  {2, "95014 Cupertino"},
                  {3, "CA, USA"},
                  {9, "https://a.example"}}
        << QStringList{"Address (Other): 2 Park, 94301, Palo Alto, CA, USA",
                       "Web address (blog): https://b.example"};
    QTest::newRow("4.0: URI telephone numbers keep their extension, PREF=1 first")
        << card(
               "VERSION:4.0\r\nFN:Bo\r\nTEL;VALUE=uri;TYPE=\"voice,work\":tel:+1-555-0100;ext=5\r\n"
               "TEL;VALUE=uri;PREF=1:tel:+1-555-0199\r\n"
               "TEL;VALUE=uri:tel:+1-555-0111\\;ext=7\r\n"
               "ADR;LABEL=\"1 Main St^nSpringfield: Ward 3\":;;1 Main St;Springfield;;;\r\n")
        << Fields{{0, "Bo"},          {1, "1 Main St"},          {2, "Springfield"},
                  {4, "+1-555-0199"}, {5, "+1-555-0100 ext. 5"}, {6, "+1-555-0111 ext. 7"}}
        << QStringList();
    QTest::newRow("no FN: the name from N")
        << card("VERSION:3.0\r\nN:Hopper;Grace;Brewster;;\r\nEMAIL:g@example.org\r\n")
        << Fields{{0, "Grace Brewster Hopper"}, {8, "g@example.org"}} << QStringList();
    QTest::newRow("no FN and no N: the organization")
        << card("VERSION:3.0\r\nORG:Acme\\, Inc.;Sales\r\n") << Fields{{0, "Acme, Inc., Sales"}}
        << QStringList{"Organization: Acme, Inc., Sales"};
    QTest::newRow("no name at all: the preferred e-mail address")
        << card("EMAIL:a@example.org\r\nEMAIL;TYPE=pref:b@example.org\r\n")
        << Fields{{0, "b@example.org"}, {8, "b@example.org"}}
        << QStringList{"E-mail: a@example.org"};
    QTest::newRow("an empty FN stays empty")
        << card("VERSION:3.0\r\nFN:\r\nN:;;;;\r\nEMAIL:c@example.org\r\n")
        << Fields{{8, "c@example.org"}} << QStringList();
    QTest::newRow("byte-order mark, LF ends, a fold inside a character")
        << QByteArray(
               "\xEF\xBB\xBF"
               "BEGIN:VCARD\nVERSION:3.0\nFN:Zo\xC3\n \xAB Kr\n\tuse\nEND:VCARD\n")
        << Fields{{0, "Zoë Kruse"}} << QStringList();
    QTest::newRow("what the fields do not hold is kept aside")
        << card(
               "VERSION:3.0\r\nFN:Many\r\nTEL:1\r\nTEL:2\r\nTEL:3\r\nTEL:4\r\nTEL;TYPE=fax:5\r\n"
               "EMAIL:a@x\r\nEMAIL;TYPE=WORK:b@x\r\nURL:u1\r\nURL:u2\r\nORG:Org;Unit\r\n"
               "TITLE:Boss\r\nBDAY:1970-01-31\r\nNICKNAME:Mo\r\nCATEGORIES:a,b\r\n"
               "NOTE:n1\\nn2\\nn3\\nn4\\nn5\\nn6\r\nX-UNKNOWN:dropped\r\nUID:123\r\nREV:2020\r\n"
               "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQ\r\n  AAAQABAAD\r\n"
               "LABEL:" +
               QByteArray(90, 'x') +
               "\r\nKEY:abc\r\n"
               "ADR:;;" +
               QByteArray(85, 's') + ";;;;\r\n")
        << Fields{{0, "Many"}, {1, QString(80, u's')},
                  {4, "1"},    {5, "2"},
                  {6, "3"},    {7, "4"},
                  {8, "a@x"},  {9, "u1"},
                  {10, "n1"},  {11, "n2"},
                  {12, "n3"},  {13, "n4"}}
        << QStringList{"Organization: Org, Unit",
                       "Title: Boss",
                       "Birthday: 1970-01-31",
                       "Nickname: Mo",
                       "Categories: a,b",
                       "Address: " + QString(85, u's'),
                       "Phone (fax): 5",
                       "E-mail (work): b@x",
                       "Web address: u2",
                       "Note: n5",
                       "Note: n6"};
    QTest::newRow("invalid UTF-8 reads as Windows-1252, an unknown charset as if none")
        << card(
               "FN:Gr\xFC\xDF"
               "e\r\nNOTE;CHARSET=X-KLINGON:plain\r\n")
        << Fields{{0, "Grüße"}, {10, "plain"}} << QStringList();
    QTest::newRow("broken quoted-printable stays as it stands")
        << card("FN;ENCODING=QUOTED-PRINTABLE:A=ZZ=4\r\n") << Fields{{0, "A=ZZ=4"}}
        << QStringList();
    QTest::newRow("no address: the first printed label that is not empty")
        << card("FN:Lb\r\nLABEL:\r\nLABEL:Street 1\\nTown\\n\\nRegion\\nLand\r\nLABEL:Other\r\n")
        << Fields{{0, "Lb"}, {1, "Street 1"}, {2, "Town"}, {3, "Region, Land"}} << QStringList();
    QTest::newRow("quoted-printable named in any case; in a quoted parameter it is text")
        << card(
               "VERSION:4.0\r\nFN:Qp\r\nNOTE;encoding=quoted-printable:x=\r\ny\r\n"
               "ADR;LABEL=\"ENCODING=QUOTED-PRINTABLE\":;;a=\r\nTEL:1\r\n")
        << Fields{{0, "Qp"}, {1, "a="}, {4, "1"}, {10, "xy"}} << QStringList();
    QTest::newRow("a note's blank lines keep places before its text, none after it")
        << card(
               "FN:Nb\r\nNOTE;ENCODING=QUOTED-PRINTABLE:=0Ab=0D=0A=0A =0D\r\nNOTE:\\n \r\n"
               "NOTE:c\r\n")
        << Fields{{0, "Nb"}, {11, "b"}, {12, "c"}} << QStringList();
    QTest::newRow("quotes become apostrophes, tabs blanks")
        << card("FN:Say \"Hi\"\r\nNOTE:a\tb\r\n") << Fields{{0, "Say 'Hi'"}, {10, "a b"}}
        << QStringList();
  }

  void oneCard() {
    QFETCH(QByteArray, bytes);
    QFETCH(Fields, fields);
    QFETCH(QStringList, overflow);
    // The same in one piece, a byte at a time and in odd pieces.
    for (qsizetype piece : {bytes.size() + 1, qsizetype(1), qsizetype(7)}) {
      const ReadContacts read = readInPieces(bytes, piece);
      QCOMPARE(read.unreadable, 0);
      QCOMPARE(read.contacts.size(), size_t(1));
      QCOMPARE(nonEmpty(read.contacts[0]), fields);
      QCOMPARE(read.contacts[0].overflow, overflow);
    }
    // The same after a card that says all a card can: nothing of one card stays for the next.
    const QByteArray full = card(
        "FN:Full\r\nN:Fam;Giv;Add;;\r\nORG:Org;Unit\r\nTITLE:Boss\r\n"
        "TEL;TYPE=pref:1\r\nTEL;X-TAVELIN-PHONE=4:2\r\nTEL:3\r\nTEL:4\r\nTEL:5\r\n"
        "EMAIL;TYPE=pref:a@x\r\nEMAIL:b@x\r\nURL:u1\r\nURL:u2\r\n"
        "ADR;TYPE=pref:;;S1;L1;R1;P1;C1\r\nADR:;;S2;L2;;;\r\nLABEL:Lab\r\n"
        "NOTE:n1\\nn2\\nn3\\nn4\\nn5\r\nitem1.X-ABLABEL:Mine\r\nitem1.TEL:6\r\n");
    // (A byte-order mark is one only at the start.)
    const QByteArray after = full + (bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes);
    const ReadContacts read = readInPieces(after, after.size() + 1);
    QCOMPARE(read.contacts.size(), size_t(2));
    QCOMPARE(nonEmpty(read.contacts[1]), fields);
    QCOMPARE(read.contacts[1].overflow, overflow);
  }

  void damaged_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<bool>("anyCard");
    const QByteArray a = card("FN:A\r\n"), b = card("FN:B\r\n");
    QTest::newRow("several cards, garbage between")
        << a + "junk\r\n\r\n" + b << QStringList{"A", "B"} << 0 << true;
    QTest::newRow("a card never ended") << a + "BEGIN:VCARD\r\nFN:C\r\n"
                                        << QStringList{"A"} << 1 << true;
    QTest::newRow("a card begun inside a card")
        << "BEGIN:VCARD\r\nFN:C\r\n" + a + b << QStringList{"A", "B"} << 1 << true;
    QTest::newRow("a card with nothing in it")
        << card("VERSION:3.0\r\nUID:x\r\n") + a << QStringList{"A"} << 1 << true;
    QByteArray many = "BEGIN:VCARD\r\nFN:Many\r\n";
    for (int i = 0; i < 100000; ++i) many += "X-A:1\r\n";
    QTest::newRow("a card of 100000 properties")
        << many + "END:VCARD\r\n" + a << QStringList{"A"} << 1 << true;
    QTest::newRow("a note of 2 MB")
        << card("FN:Long\r\nNOTE:" + QByteArray(2 << 20, 'n') + "\r\n") + a << QStringList{"A"} << 1
        << true;
    QByteArray filler;  // no field takes it, but the card keeps it while it is read
    for (int i = 0; i < 5; ++i) filler += "X-FILLER:" + QByteArray(900 << 10, 'f') + "\r\n";
    QTest::newRow("properties of 4.5 MB in all")
        << card("FN:Big\r\n" + filler) + a << QStringList{"A"} << 1 << true;
    QTest::newRow("a photo of 2 MB, folded")
        << card("FN:Photo\r\nPHOTO;ENCODING=b:" + QByteArray(1 << 20, 'p') + "\r\n " +
                QByteArray(1 << 20, 'q') + "\r\n") +
               a
        << QStringList{"Photo", "A"} << 0 << true;
    QTest::newRow("one line of 3 MB without an end")
        << QByteArray(3 << 20, 'z') + "\r\n" + a << QStringList{"A"} << 0 << true;
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7 + i / 13);
    QTest::newRow("binary bytes") << binary << QStringList() << 0 << false;
    QTest::newRow("no card at all")
        << QByteArray("Name,Phone\r\nA,1\r\n") << QStringList() << 0 << false;
  }

  void damaged() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QFETCH(int, unreadable);
    QFETCH(bool, anyCard);
    for (qsizetype piece : {bytes.size() + 1, qsizetype(4093)}) {
      const ReadContacts read = readInPieces(bytes, piece);
      QStringList read_names;
      for (const Contact& c : read.contacts) read_names.append(c.fields[kFullName]);
      QCOMPARE(read_names, names);
      QCOMPARE(read.unreadable, unreadable);
      QCOMPARE(read.anyCard, anyCard);
    }
    // Given whole, the properties are read where they stand: the same, the limits too.
    const ReadContacts whole = readVCards(bytes);
    QStringList wholeNames;
    for (const Contact& c : whole.contacts) wholeNames.append(c.fields[kFullName]);
    QCOMPARE(wholeNames, names);
    QCOMPARE(whole.unreadable, unreadable);
    QCOMPARE(whole.anyCard, anyCard);
  }

  void fieldTexts_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    // Each character a field cannot hold, at each place of a word of four and of the rest.
    const QString plain = QStringLiteral("abcdefghi");
    for (const char16_t c : {u'\t', u'\x01', u'\x7F', u'"'}) {
      for (qsizetype at = 0; at < plain.size(); ++at) {
        QString value = plain;
        value[at] = QChar(c);
        QString expected = plain;
        expected[at] = c == u'"' ? QChar(u'\'') : QChar(u' ');
        QTest::addRow("U+%04X at %d", unsigned(c), int(at)) << value << expected.trimmed();
      }
    }
    // Units whose low bits are those of a quote, a control character or DEL are no such.
    QTest::newRow("look-alikes beyond ASCII")
        << QString::fromUtf16(u"\u8022\uFF02\u807F\u0120\u8001 \U0001F600 x")
        << QString::fromUtf16(u"\u8022\uFF02\u807F\u0120\u8001 \U0001F600 x");
    QTest::newRow("blanks around, lines apart") << "  one\n\n two  \r\n"
                                                << "one, two";
  }

  void fieldTexts() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(fieldText(value), expected);
    QCOMPARE(fieldText(QStringView(value)), expected);
  }
};

QTEST_GUILESS_MAIN(VCardReaderTest)
#include "test_vcard_reader.moc"
