// The CSV reader over Google's current and older layouts and Outlook's, in the encodings and
// separators they come in, and over damaged files.
#include <QStringEncoder>
#include <QTest>

#include "exchange/csv_reader.h"
#include "exchange_cases.h"

using namespace tavelin;
using namespace tavelin::exchange;
using namespace tavelin::test;

namespace {

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

class CsvReaderTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void layouts_data() {
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

  void layouts() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QFETCH(QList<QStringList>, overflow);
    for (qsizetype piece : {bytes.size() + 1, qsizetype(1), qsizetype(5)}) {
      const ReadContacts read = readInPieces<CsvReader>(bytes, piece);
      QVERIFY(read.anyCard);
      QCOMPARE(read.unreadable, 0);
      QCOMPARE(joinedAll(read), fields);
      for (qsizetype i = 0; i < fields.size(); ++i) {
        QCOMPARE(read.contacts[size_t(i)].overflow, overflow[i]);
      }
    }
  }

  void damaged_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("contacts");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<bool>("header");
    QTest::newRow("no heading a field takes")
        << QByteArray("a,b,c\r\n1,2,3\r\n") << 0 << 0 << false;
    QTest::newRow("empty") << QByteArray() << 0 << 0 << false;
    QTest::newRow("a quote never closed, then rows")
        << "Name,Notes\r\nA,\"" + QByteArray(2 << 20, 'q') + "\r\nB,b\r\nC,c\r\n"
        << 2 << 1 << true;
    QTest::newRow("a row of 2000 cells") << "Name\r\n" + QByteArray(2000, ',') + "\r\nD\r\n"
                                         << 1 << 1 << true;
    QTest::newRow("a heading line of 200 KB") << QByteArray(200 * 1024, 'h') + "\r\nA\r\n"
                                              << 0 << 0 << false;
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31 + i / 7);
    QTest::newRow("binary bytes") << binary << 0 << 0 << false;
  }

  void damaged() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, contacts);
    QFETCH(int, unreadable);
    QFETCH(bool, header);
    for (qsizetype piece : {bytes.size() + 1, qsizetype(65536)}) {
      const ReadContacts read = readInPieces<CsvReader>(bytes, piece);
      QCOMPARE(int(read.contacts.size()), contacts);
      QCOMPARE(read.unreadable, unreadable);
      QCOMPARE(read.anyCard, header);
    }
  }
};

QTEST_GUILESS_MAIN(CsvReaderTest)
#include "test_csv_reader.moc"
