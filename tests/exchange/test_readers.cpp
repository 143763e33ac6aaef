// The readers over what real programs write. vCard: 2.1 with quoted-printable and character
// sets, 3.0 and 4.0 with their escapes, groups and URIs, and damaged input. CSV: Google's
// current and older layouts and Outlook's, in the encodings and separators they come in, and
// damaged files. Cards read in two pieces on two threads: where the bytes may be cut, and that
// whatever the cut chosen there, the contacts, their order and the counts are those of one.
#include <QStringEncoder>
#include <QTest>

#include "exchange/csv_reader.h"
#include "exchange/vcard_reader.h"
#include "exchange_cases.h"

using namespace tavelin;
using namespace tavelin::exchange;
using namespace tavelin::test;

namespace {

// The bytes as the CSV or the vCard reader reads them, given whole (piece 0) or in pieces.
ReadContacts readAs(bool csv, QByteArrayView bytes, qsizetype piece) {
  if (piece == 0) return csv ? readCsv(bytes) : readVCards(bytes);
  return csv ? readInPieces<CsvReader>(bytes, piece) : readInPieces<VCardReader>(bytes, piece);
}

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

const QByteArray kQp = "NOTE;ENCODING=QUOTED-PRINTABLE:";

const QByteArray kGoogle =
    "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,Phonetic Last "
    "Name,Name Prefix,Name Suffix,Nickname,File As,Organization Name,Organization Title,"
    "Organization Department,Birthday,Notes,Photo,Labels,E-mail 1 - Label,E-mail 1 - Value,"
    "E-mail 2 - Label,E-mail 2 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - "
    "Value,Address 1 - Label,Address 1 - Formatted,Address 1 - Street,Address 1 - City,Address 1 "
    "- PO Box,Address 1 - Region,Address 1 - Postal Code,Address 1 - Country,Address 1 - Extended "
    "Address,Website 1 - Label,Website 1 - Value\r\n"
    "Grace,Brewster,Hopper,,,,Rear Admiral,,Amazing Grace,,US Navy,Officer,,1906-12-09,"
    "\"Wrote the first compiler.\nLiked clocks.\",https://lh3.example/photo.jpg,"
    "* myContacts ::: Navy,Home,grace@example.org,* Work,hopper@navy.example,Mobile,"
    "+1 555 0100 ::: +1 555 0101,Work,+1 555 0102,Home,\"1 Navy Yard\nArlington, VA\","
    "1 Navy Yard,Arlington,,VA,22202,USA,,Profile,https://grace.example\r\n";

const QByteArray kGoogleOld =
    "Name,Given Name,Additional Name,Family Name,Yomi Name,Given Name Yomi,Additional Name Yomi,"
    "Family Name Yomi,Name Prefix,Name Suffix,Initials,Nickname,Short Name,Maiden Name,Birthday,"
    "Gender,Location,Billing Information,Directory Server,Mileage,Occupation,Hobby,Sensitivity,"
    "Priority,Subject,Notes,Language,Photo,Group Membership,E-mail 1 - Type,E-mail 1 - Value,"
    "Phone 1 - Type,Phone 1 - Value,Address 1 - Type,Address 1 - Formatted,Address 1 - Street,"
    "Address 1 - City,Address 1 - PO Box,Address 1 - Region,Address 1 - Postal Code,"
    "Address 1 - Country,Address 1 - Extended Address,Organization 1 - Type,Organization 1 - Name,"
    "Website 1 - Type,Website 1 - Value\n"
    "Alan Turing,Alan,,Turing,,,,,,,,,,,,,,,,,,Running,,,,Notes here,,,* My Contacts,* Home,"
    "alan@example.org,Work,+44 161 000,Home,\"Wilmslow\nCheshire\",,,,,,,,,Bletchley,,\n"
    "\"\",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,Other,\"Only a printed\naddress\nUK\",,,,,,,,,,,\n";

const QByteArray kOutlook =
    "\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",\"Suffix\",\"Company\","
    "\"Department\",\"Job Title\",\"Business Street\",\"Business Street 2\","
    "\"Business Street 3\",\"Business City\",\"Business State\",\"Business Postal Code\","
    "\"Business Country/Region\",\"Home Street\",\"Home City\",\"Home Postal Code\","
    "\"Home Country/Region\",\"Business Fax\",\"Business Phone\",\"Home Phone\","
    "\"Mobile Phone\",\"Pager\",\"Birthday\",\"E-mail Address\",\"E-mail Type\","
    "\"E-mail 2 Address\",\"Notes\",\"Priority\",\"Private\",\"Sensitivity\",\"Web Page\"\r\n"
    "\"\",\"Katherine\",\"\",\"Johnson\",\"\",\"NASA\",\"\",\"\",\"1 Langley Blvd\","
    "\"Bldg 1244\",\"\",\"Hampton\",\"VA\",\"23681\",\"United States\",\"2 Home Rd\","
    "\"Hampton\",\"23666\",\"United States\",\"555-0109\",\"555-0110\",\"555-0111\","
    "\"555-0112\",\"555-0113\",\"0/0/00\",\"kj@nasa.example\",\"SMTP\",\"k@home.example\","
    "\"Computed trajectories\",\"Normal\",\"False\",\"Normal\",\"https://nasa.example\"\r\n";

}  // namespace

class ReadersTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void oneCard_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fields");  // joined by '|'
    QTest::addColumn<QStringList>("overflow");

    QTest::newRow("3.0 as GNOME Contacts writes it")
        << card(
               "VERSION:3.0\r\nFN:Ada Lovelace\r\nN:Lovelace;Ada;;;\r\n"
               "ADR;TYPE=HOME:;;12 St James\\, Square;London;;SW1Y 4JH;UK\r\n"
               "TEL;TYPE=CELL:+44 20 7946 0000\r\nTEL;TYPE=HOME:020 7946 0001\r\n"
               "EMAIL;TYPE=INTERNET:ada@example.org\r\nURL:https://example.org/ada\r\n"
               "NOTE:first\\nsecond\\; with semicolon\\nthird \\\\ backslash\r\n")
        << "Ada Lovelace|12 St James, Square|SW1Y 4JH London|UK|+44 20 7946 0000|"
           "020 7946 0001|||ada@example.org|https://example.org/ada|first|"
           "second; with semicolon|third \\ backslash"
        << QStringList();
    QTest::newRow("2.1 as Android writes it: quoted-printable UTF-8, soft breaks, bare types")
        << card(
               "VERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;"
               "\r\n"
               "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BC=\r\nller\r\n"
               "TEL;HOME:0301234\r\nTEL;CELL;PREF:0171 5550100\r\n"
               "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;Stra=C3=9Fe 1;Berlin;;10115;\r\n"
               "NOTE;ENCODING=QUOTED-PRINTABLE:line one=0D=0Aline two\r\n")
        << "Jürgen Müller|Straße 1|10115 Berlin||0171 5550100|0301234|||||line one|line two"
        << QStringList();
    QTest::newRow("2.1 as old Nokia phones write it: Windows-1252 and ISO-8859-15")
        << card(
               "VERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Ren=E9;;;;\r\n"
               "NOTE;CHARSET=WINDOWS-1252:costs \x80 5\r\n"
               "X-NOTE;CHARSET=ISO-8859-15:ignored\r\n"
               "TITLE;CHARSET=ISO-8859-15:Caf\xE9 \xA4\r\n")
        << "René||||||||||costs € 5" << QStringList{"Title: Café €"};
    QTest::newRow("2.1 from evolution: a soft break followed by a blank")
        << card(
               "VERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Jos=C3=\r\n =A9 Mar=\r\n "
               "=C3=ADa\r\n")
        << "José María" << QStringList();
    QTest::newRow("Apple's groups: the label names the kept-aside address")
        << card(
               "VERSION:3.0\r\nFN:Tim\r\nitem1.ADR;type=HOME;type=pref:;;1 "
               "Loop;Cupertino;CA;95014;USA\r\n"
               "item1.X-ABADR:us\r\nitem2.ADR:;;2 Park;Palo Alto;CA;94301;USA\r\n"
               "item2.X-ABLabel:_$!<Other>!$_\r\nitem3.URL:https://a.example\r\n"
               "item3.X-ABLabel:_$!<HomePage>!$_\r\nitem4.URL:https://b.example\r\n"
               "item4.X-ABLabel:blog\r\n")
        << "Tim|1 Loop|95014 Cupertino|CA, USA||||||https://a.example"
        << QStringList{"Address (Other): 2 Park, 94301, Palo Alto, CA, USA",
                       "Web address (blog): https://b.example"};
    QTest::newRow("4.0: URI telephone numbers keep their extension, PREF=1 first")
        << card(
               "VERSION:4.0\r\nFN:Bo\r\nTEL;VALUE=uri;TYPE=\"voice,work\":tel:+1-555-0100;ext=5\r\n"
               "TEL;VALUE=uri;PREF=1:tel:+1-555-0199\r\n"
               "TEL;VALUE=uri:tel:+1-555-0111\\;ext=7\r\n"
               "ADR;LABEL=\"1 Main St^nSpringfield: Ward 3\":;;1 Main St;Springfield;;;\r\n")
        << "Bo|1 Main St|Springfield||+1-555-0199|+1-555-0100 ext. 5|+1-555-0111 ext. 7"
        << QStringList();
    QTest::newRow("no FN: the name from N")
        << card("VERSION:3.0\r\nN:Hopper;Grace;Brewster;;\r\nEMAIL:g@example.org\r\n")
        << "Grace Brewster Hopper||||||||g@example.org" << QStringList();
    QTest::newRow("no FN and no N: the organization")
        << card("VERSION:3.0\r\nORG:Acme\\, Inc.;Sales\r\n") << "Acme, Inc., Sales"
        << QStringList{"Organization: Acme, Inc., Sales"};
    QTest::newRow("no name at all: the preferred e-mail address")
        << card("EMAIL:a@example.org\r\nEMAIL;TYPE=pref:b@example.org\r\n")
        << "b@example.org||||||||b@example.org" << QStringList{"E-mail: a@example.org"};
    QTest::newRow("an empty FN stays empty")
        << card("VERSION:3.0\r\nFN:\r\nN:;;;;\r\nEMAIL:c@example.org\r\n")
        << "||||||||c@example.org" << QStringList();
    QTest::newRow("byte-order mark, LF ends, a fold inside a character")
        << QByteArray(
               "\xEF\xBB\xBF"
               "BEGIN:VCARD\nVERSION:3.0\nFN:Zo\xC3\n \xAB Kr\n\tuse\nEND:VCARD\n")
        << "Zoë Kruse" << QStringList();
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
        << "Many|" + QString(80, u's') + "|||1|2|3|4|a@x|u1|n1|n2|n3|n4"
        << QString(
               u"Organization: Org, Unit|Title: Boss|Birthday: 1970-01-31|Nickname: Mo|"
               u"Categories: a,b|Address: "_qs +
               QString(85, u's') +
               u"|Phone (fax): 5|E-mail (work): b@x|Web address: u2|Note: n5|Note: n6"_qs)
               .split(u'|');
    QTest::newRow("invalid UTF-8 reads as Windows-1252, an unknown charset as if none")
        << card(
               "FN:Gr\xFC\xDF"
               "e\r\nNOTE;CHARSET=X-KLINGON:plain\r\n")
        << "Grüße||||||||||plain" << QStringList();
    QTest::newRow("broken quoted-printable stays as it stands")
        << card("FN;ENCODING=QUOTED-PRINTABLE:A=ZZ=4\r\n") << "A=ZZ=4" << QStringList();
    QTest::newRow("no address: the first printed label that is not empty")
        << card("FN:Lb\r\nLABEL:\r\nLABEL:Street 1\\nTown\\n\\nRegion\\nLand\r\nLABEL:Other\r\n")
        << "Lb|Street 1|Town|Region, Land" << QStringList();
    QTest::newRow("quoted-printable named in any case; in a quoted parameter it is text")
        << card(
               "VERSION:4.0\r\nFN:Qp\r\nNOTE;encoding=quoted-printable:x=\r\ny\r\n"
               "ADR;LABEL=\"ENCODING=QUOTED-PRINTABLE\":;;a=\r\nTEL:1\r\n")
        << "Qp|a=|||1||||||xy" << QStringList();
    QTest::newRow("a note's blank lines keep places before its text, none after it")
        << card(
               "FN:Nb\r\nNOTE;ENCODING=QUOTED-PRINTABLE:=0Ab=0D=0A=0A =0D\r\nNOTE:\\n \r\n"
               "NOTE:c\r\n")
        << "Nb|||||||||||b|c" << QStringList();
    QTest::newRow("quotes become apostrophes, tabs blanks")
        << card("FN:Say \"Hi\"\r\nNOTE:a\tb\r\n") << "Say 'Hi'||||||||||a b" << QStringList();
  }

  void oneCard() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fields);
    QFETCH(QStringList, overflow);
    // The same in one piece, a byte at a time and in odd pieces.
    for (qsizetype piece : {bytes.size() + 1, qsizetype(1), qsizetype(7)}) {
      const ReadContacts read = readAs(false, bytes, piece);
      QCOMPARE(read.unreadable, 0);
      QCOMPARE(read.contacts.size(), size_t(1));
      QCOMPARE(joined(read.contacts[0].fields), fields);
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
    const ReadContacts read = readAs(false, after, after.size() + 1);
    QCOMPARE(read.contacts.size(), size_t(2));
    QCOMPARE(joined(read.contacts[1].fields), fields);
    QCOMPARE(read.contacts[1].overflow, overflow);
  }

  void damaged_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<bool>("anyCard");  // or a CSV heading row
    QTest::addColumn<bool>("csv");
    const QByteArray a = card("FN:A\r\n"), b = card("FN:B\r\n");
    QTest::newRow("several cards, garbage between")
        << a + "junk\r\n\r\n" + b << QStringList{"A", "B"} << 0 << true << false;
    QTest::newRow("a card never ended") << a + "BEGIN:VCARD\r\nFN:C\r\n"
                                        << QStringList{"A"} << 1 << true << false;
    QTest::newRow("a card begun inside a card")
        << "BEGIN:VCARD\r\nFN:C\r\n" + a + b << QStringList{"A", "B"} << 1 << true << false;
    QTest::newRow("a card with nothing in it")
        << card("VERSION:3.0\r\nUID:x\r\n") + a << QStringList{"A"} << 1 << true << false;
    QByteArray many = "BEGIN:VCARD\r\nFN:Many\r\n";
    for (int i = 0; i < 100000; ++i) many += "X-A:1\r\n";
    QTest::newRow("a card of 100000 properties")
        << many + "END:VCARD\r\n" + a << QStringList{"A"} << 1 << true << false;
    QTest::newRow("a note of 2 MB")
        << card("FN:Long\r\nNOTE:" + QByteArray(2 << 20, 'n') + "\r\n") + a << QStringList{"A"} << 1
        << true << false;
    QByteArray filler;  // no field takes it, but the card keeps it while it is read
    for (int i = 0; i < 5; ++i) filler += "X-FILLER:" + QByteArray(900 << 10, 'f') + "\r\n";
    QTest::newRow("properties of 4.5 MB in all")
        << card("FN:Big\r\n" + filler) + a << QStringList{"A"} << 1 << true << false;
    QTest::newRow("a photo of 2 MB, folded")
        << card("FN:Photo\r\nPHOTO;ENCODING=b:" + QByteArray(1 << 20, 'p') + "\r\n " +
                QByteArray(1 << 20, 'q') + "\r\n") +
               a
        << QStringList{"Photo", "A"} << 0 << true << false;
    QTest::newRow("one line of 3 MB without an end")
        << QByteArray(3 << 20, 'z') + "\r\n" + a << QStringList{"A"} << 0 << true << false;
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7 + i / 13);
    QTest::newRow("binary bytes") << binary << QStringList() << 0 << false << false;
    QTest::newRow("no card at all")
        << QByteArray("Name,Phone\r\nA,1\r\n") << QStringList() << 0 << false << false;
    QTest::newRow("CSV: no heading a field takes")
        << QByteArray("a,b,c\r\n1,2,3\r\n") << QStringList() << 0 << false << true;
    QTest::newRow("CSV: empty") << QByteArray() << QStringList() << 0 << false << true;
    QTest::newRow("CSV: a quote never closed, then rows")
        << "Name,Notes\r\nA,\"" + QByteArray(2 << 20, 'q') + "\r\nB,b\r\nC,c\r\n"
        << QStringList{"B", "C"} << 1 << true << true;
    QTest::newRow("CSV: a row of 2000 cells") << "Name\r\n" + QByteArray(2000, ',') + "\r\nD\r\n"
                                              << QStringList{"D"} << 1 << true << true;
    QTest::newRow("CSV: a heading line of 200 KB") << QByteArray(200 * 1024, 'h') + "\r\nA\r\n"
                                                   << QStringList() << 0 << false << true;
    for (int i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31 + i / 7);
    QTest::newRow("CSV: binary bytes") << binary << QStringList() << 0 << false << true;
  }

  void damaged() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QFETCH(int, unreadable);
    QFETCH(bool, anyCard);
    QFETCH(bool, csv);
    // In pieces, and given whole, where the properties are read where they stand: the limits
    // too are the same.
    for (qsizetype piece : {bytes.size() + 1, qsizetype(4093), qsizetype(65536), qsizetype(0)}) {
      const ReadContacts read = readAs(csv, bytes, piece);
      QCOMPARE(namesOf(read), names);
      QCOMPARE(read.unreadable, unreadable);
      QCOMPARE(read.anyCard, anyCard);
    }
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

  void csvLayouts_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");  // a contact's joined by '|'
    QTest::addColumn<QList<QStringList>>("overflow");

    QTest::newRow("Google") << kGoogle
                            << QStringList{"Grace Brewster Hopper|1 Navy Yard|22202 Arlington|VA, USA|+1 555 0100|"
                                           "+1 555 0102|+1 555 0101||hopper@navy.example|"
                                           "https://grace.example|Wrote the first compiler.|"
                                           "Liked clocks."}
                            << QList<QStringList>{
                                   {"Name Prefix: Rear Admiral", "Nickname: Amazing Grace",
                                    "Organization: US Navy", "Organization Title: Officer",
                                    "Birthday: 1906-12-09", "Labels: Navy",
                                    "E-mail (Home): grace@example.org"}};
    QTest::newRow("Google's older layout, LF line ends")
        << kGoogleOld
        << QStringList{"Alan Turing|Wilmslow|Cheshire||+44 161 000||||alan@example.org||Notes here",
                       "|Only a printed|address|UK"}
        << QList<QStringList>{{"Hobby: Running", "Organization: Bletchley"}, {}};
    QTest::newRow("Outlook") << kOutlook
                             << QStringList{"Katherine Johnson|1 Langley Blvd, Bldg 1244|23681 Hampton|"
                                            "VA, United States|555-0109|555-0110|555-0111|"
                                            "555-0112|kj@nasa.example|https://nasa.example|"
                                            "Computed trajectories"}
                             << QList<QStringList>{
                                    {"Organization: NASA", "E-mail Type: SMTP",
                                     "Address (home): 2 Home Rd, 23666, Hampton, United States",
                                     "Phone (pager): 555-0113", "E-mail: k@home.example"}};
    QByteArray semicolons =
        "\xEF\xBB\xBF\"First Name\";\"Last Name\";\"Mobile Phone\"\r\n"
        "\"Zo\xC3\xAB\";\"Kruse, Jr\";\"0171\"\r\n";
    QTest::newRow("semicolons and a byte-order mark")
        << semicolons << QStringList{"Zoë Kruse, Jr||||0171"} << QList<QStringList>{{}};
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray utf16Bytes = utf16.encode(u"Name,E-mail 1 - Value\r\nRené,r@x\r\n");
    QTest::newRow("UTF-16 with its mark")
        << utf16Bytes << QStringList{"René||||||||r@x"} << QList<QStringList>{{}};
    QTest::newRow("Windows-1252, a last row without an end")
        << QByteArray("Name,Notes\r\nJos\xE9,\"\x80 5\"\r\n,\r\nB,x")
        << QStringList{"José||||||||||€ 5", "B||||||||||x"} << QList<QStringList>{{}, {}};
  }

  void csvLayouts() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QFETCH(QList<QStringList>, overflow);
    for (qsizetype piece : {bytes.size() + 1, qsizetype(1), qsizetype(5)}) {
      const ReadContacts read = readAs(true, bytes, piece);
      QVERIFY(read.anyCard);
      QCOMPARE(read.unreadable, 0);
      QCOMPARE(joinedAll(read), fields);
      for (qsizetype i = 0; i < fields.size(); ++i) {
        QCOMPARE(read.contacts[size_t(i)].overflow, overflow[i]);
      }
    }
  }
};

QTEST_GUILESS_MAIN(ReadersTest)
#include "test_readers.moc"
