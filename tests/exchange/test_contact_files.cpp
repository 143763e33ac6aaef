// Import into and export from an address book on disk, through the menu's flow with fake
// dialogs and a fake window: counts, the one save, the attached text files, refusals, the
// record limit, and the round trip from one address book to an empty one.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "exchange/contact_files.h"
#include "exchange/exchange_actions.h"
#include "exchange/vcard_reader.h"
#include "exchange/vcard_writer.h"
#include "exchange_cases.h"
#include "platform/fake/fake_platform.h"
#include "record_store/paths.h"
#include "record_store/record_store.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace tavelin::exchange;
using tavelin::test::card;
using tavelin::test::readFile;
using tavelin::test::writeFile;

namespace {

class FakeExchangeView final : public ExchangeView {
 public:
  bool isAddingOrEditing() const override { return editing; }
  void reloadShowing(const QString& line) override { shownLines.append(line); }
  void setBusy(bool busy) override { busyCalls.append(busy); }
  void reportWriteError(const WriteError& error) override { writeErrors.append(error.fileName); }

  bool editing = false;
  QStringList shownLines;
  QList<bool> busyCalls;
  QStringList writeErrors;
};

QString line(const QString& name, const QString& phone = {}) {
  FieldTexts f;
  f[0] = name;
  f[4] = phone;
  return BuildLineFromFields(f);
}

QByteArray fileOf(const QStringList& lines) {
  QByteArray out;
  for (const QString& l : lines) out += l.toUtf8() + "\r\n";
  return out;
}

struct Fixture {
  test::TestEnvironment env;
  platform::FakeDialogs dialogs;
  FakeExchangeView view;
  RecordStore store{workFilePath(env.configRoot())};
  ExchangeActions actions{store, dialogs, view};

  Fixture() {
    QDir().mkpath(fixedFolder(env.configRoot()));
    store.SortFile();
  }
  // The address book of these lines, loaded.
  void book(const QStringList& lines) {
    writeFile(kDataFileName, fileOf(lines));
    store.SortFile();
  }
  QStringList names() {
    store.SortFile();
    QStringList out;
    for (int row = 0; row < store.rowCount(); ++row) out << store.table().value(row, 0).toString();
    return out;
  }
};

}  // namespace

class ContactFilesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void importCounts() {
    Fixture f;
    f.book({line("Ann", "1")});
    writeFile("in.vcf", card("FN:Ann\r\nTEL:1\r\n") + card("FN:Bob\r\nTEL:2\r\n") +
                            card("FN:Cleo\r\nTEL:3\r\nTITLE:Boss\r\nEMAIL:c@x\r\nEMAIL:d@x\r\n") +
                            card("FN:Bob\r\nTEL:2\r\n") + card("VERSION:3.0\r\n") +
                            "BEGIN:VCARD\r\nFN:never ended\r\n");
    writeFile("Cleo.ATA", "Met in 1999");  // appended to, on a line of its own
    f.dialogs.fileAnswers.push_back(QStringLiteral("in.vcf"));
    f.actions.ImportContacts();

    QCOMPARE(f.dialogs.openRequests.size(), size_t(1));
    QCOMPARE(f.dialogs.openRequests[0].title, QStringLiteral("Import contacts"));
    QCOMPARE(f.dialogs.openRequests[0].filters,
             (QStringList{"Contacts (*.vcf *.vcard *.csv)", "All files (*)"}));
    QCOMPARE(f.dialogs.texts(),
             QStringList{"2 contacts imported; 2 were already in the address book; 2 could not "
                         "be read; 1 had more than the fields hold, kept in their attached "
                         "text files."});
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("Import contacts"));
    QCOMPARE(f.view.shownLines, QStringList{line("Bob", "2")});
    QCOMPARE(f.names(), (QStringList{"Ann", "Bob", "Cleo"}));
    QCOMPARE(readFile("Cleo.ATA"), QByteArray("Met in 1999\r\nTitle: Boss\r\nE-mail: d@x\r\n"));

    // Again: everything is known, and nothing is written.
    const QByteArray before = readFile(kDataFileName);
    f.dialogs.shown.clear();
    f.actions.importFile("in.vcf");
    QCOMPARE(f.dialogs.texts(),
             QStringList{"0 contacts imported; 4 were already in the address book; 2 could not "
                         "be read."});
    QCOMPARE(readFile(kDataFileName), before);
    QCOMPARE(f.view.shownLines.size(), 1);
  }

  void importKnown_data() {
    QTest::addColumn<int>("book");  // records "N0".. in the book, each twice when twins
    QTest::addColumn<bool>("twins");
    QTest::addColumn<int>("from");  // the cards name "N<from>" to "N<to - 1>"
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("copies");  // of all the cards, one run after another
    QTest::addColumn<int>("imported");
    QTest::addColumn<int>("known");
    // Short cards: more of them than the file's size suggests.
    QTest::newRow("the cards twice") << 0 << false << 0 << 3000 << 2 << 3000 << 3000;
    QTest::newRow("the book's records and new ones") << 300 << false << 0 << 400 << 1 << 100 << 300;
    QTest::newRow("twin records in the book") << 50 << true << 40 << 60 << 3 << 10 << 50;
    // Read whole on two threads: a contact of the first piece is known in the second.
    QTest::newRow("the cards twice, read on two threads")
        << 1000 << false << 500 << 4500 << 2 << 3500 << 4500;
  }

  // A contact is known once it is in the book or was taken from the file before it; each
  // is counted once, however many lines or cards stand for it.
  void importKnown() {
    QFETCH(int, book);
    QFETCH(bool, twins);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, copies);
    QFETCH(int, imported);
    Fixture f;
    QStringList lines;
    for (int i = 0; i < book; ++i) {
      lines << line(QStringLiteral("N%1").arg(i));
      if (twins) lines << lines.last();
    }
    f.book(lines);
    // Broken cards on either side count the same, whether read in chunks or on two threads.
    QByteArray cards = card("VERSION:3.0\r\n");
    for (int k = 0; k < copies; ++k) {
      for (int i = from; i < to; ++i) cards += card("FN:N" + QByteArray::number(i) + "\r\n");
    }
    writeFile("in.vcf", cards + "BEGIN:VCARD\r\nFN:never ended\r\n");
    QCOMPARE(QFileInfo("in.vcf").size() > kSplitBytes, imported > 3000);
    const ImportResult result = importContacts(f.store, "in.vcf");
    QVERIFY(!result.failure);
    QCOMPARE(result.imported, imported);
    QTEST(result.known, "known");
    QCOMPARE(result.unreadable, 2);
    QCOMPARE(result.firstLine, line(QStringLiteral("N%1").arg(std::max(from, book))));
    QCOMPARE(f.names().size(), (twins ? 2 * book : book) + result.imported);
  }

  void refused_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    const QString noHeading = QStringLiteral("it holds no vCard and no CSV heading row");
    QTest::newRow("no card and no heading") << "notes.csv" << noHeading;
    QTest::newRow("a folder") << u"folder.vcf"_qs << u"it is a folder"_qs;
    QTest::newRow("no such file") << u"missing.vcf"_qs << u"No such file or directory"_qs;
    QTest::newRow("200 MB of zeros") << "zeros.csv" << noHeading;
  }

  void refused() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    Fixture f;
    f.book({line("Ann")});
    writeFile("notes.csv", "just,some\r\nwords,here\r\n");
    QDir().mkpath("folder.vcf");
    QFile zeros("zeros.csv");  // a hole in the file system: nothing written, all read
    QVERIFY(zeros.open(QIODevice::WriteOnly) && zeros.resize(200 << 20));
    zeros.close();
    f.actions.importFile(path);
    QCOMPARE(f.dialogs.texts(),
             QStringList{QStringLiteral("Could not import the file \"%1\" (%2). Nothing was "
                                        "changed.")
                             .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(path)),
                                  reason)});
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("Import contacts"));
    QCOMPARE(readFile(kDataFileName), fileOf({line("Ann")}));
    QVERIFY(f.view.shownLines.isEmpty());
  }

  void cancelledOrEditing() {
    Fixture f;
    writeFile("in.vcf", card("FN:Bob\r\n"));
    f.actions.ImportContacts();  // the dialog is cancelled
    f.actions.ExportContacts();
    f.view.editing = true;
    f.actions.importFile("in.vcf");
    QVERIFY(f.dialogs.shown.empty());
    QCOMPARE(f.dialogs.openRequests.size(), size_t(1));
    QVERIFY(!QFile::exists(kDataFileName));
  }

  void limit() {
    // Two places left: the first two new contacts fill them, the rest is not imported.
    Fixture f;
    QStringList lines;
    for (int i = 0; i < kRecordLimit - 2; ++i) lines.append(line(QStringLiteral("R%1").arg(i)));
    f.book(lines);
    writeFile("in.vcf", card("FN:R7\r\n") + card("FN:New 1\r\n") + card("FN:New 2\r\n") +
                            card("FN:New 3\r\n"));
    const ImportResult result = importContacts(f.store, "in.vcf");
    QVERIFY(!result.failure);
    QVERIFY(result.limitReached);
    QCOMPARE(result.imported, 2);
    QCOMPARE(result.known, 1);
    QVERIFY(f.store.SortFile().limitReached);
    QCOMPARE(f.store.rowCount(), kRecordLimit);
    QVERIFY(f.names().contains("New 2"));
    QVERIFY(!f.names().contains("New 3"));
  }

  void attachmentNames() {
    // A name that is no file name in the working directory gets no attached text file.
    Fixture f;
    writeFile("in.vcf", card("FN:../up\r\nTITLE:x\r\n") + card("FN:a/b\r\nTITLE:y\r\n"));
    const ImportResult result = importContacts(f.store, "in.vcf");
    QCOMPARE(result.imported, 2);
    QCOMPARE(result.overflowed, 2);
    QCOMPARE(QDir().entryList(QDir::Files), (QStringList{"in.vcf", "TAVELIN.FIL"}));
    QVERIFY(!QFile::exists("../up.ATA"));
  }

  void exportChoices_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("mark");
    QTest::newRow("3.0, the suffix added")
        << u"book"_qs << u"vCard 3.0 (*.vcf)"_qs << u"book.vcf"_qs << QByteArray("VERSION:3.0");
    QTest::newRow("4.0") << u"book.vcf"_qs << u"vCard 4.0 (*.vcf)"_qs << u"book.vcf"_qs
                         << QByteArray("VERSION:4.0");
    QTest::newRow("CSV, the suffix added")
        << u"book"_qs << u"CSV (*.csv)"_qs << u"book.csv"_qs << QByteArray("First Name,");
  }

  void exportChoices() {
    QFETCH(QString, answer);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QFETCH(QByteArray, mark);
    Fixture f;
    f.book({line("Bob", "2"), line("Ann", "1"), "\"kept aside"});
    f.dialogs.fileAnswers.push_back(answer);
    f.dialogs.filterAnswers.push_back(filter);
    f.actions.ExportContacts();
    QCOMPARE(f.dialogs.saveRequests[0].title, QStringLiteral("Export contacts"));
    QCOMPARE(f.dialogs.saveRequests[0].filters,
             (QStringList{"vCard 3.0 (*.vcf)", "vCard 4.0 (*.vcf)", "CSV (*.csv)"}));
    QCOMPARE(f.dialogs.texts(), QStringList{"2 contacts exported to " + written + "."});
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("Export contacts"));
    const QByteArray bytes = readFile(written);
    QVERIFY(bytes.startsWith(mark) || bytes.contains(QByteArray("\r\n" + mark)));
    QVERIFY(bytes.indexOf("Ann") < bytes.indexOf("Bob"));  // list order
    QVERIFY(!bytes.contains("kept aside"));
  }

  void exportFailure() {
    Fixture f;
    f.book({line("Ann")});
    f.dialogs.fileAnswers.push_back(QStringLiteral("no/such/folder/book.vcf"));
    f.actions.ExportContacts();
    QCOMPARE(f.view.writeErrors, QStringList{"no/such/folder/book.vcf"});
    QVERIFY(f.dialogs.shown.empty());
  }

  void roundTrip_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("vCard 3.0") << int(ExportFormat::VCard30);
    QTest::newRow("vCard 4.0") << int(ExportFormat::VCard40);
    QTest::newRow("CSV") << int(ExportFormat::Csv);
  }

  void roundTrip() {
    // The address book exported and imported into an empty one: the same fields everywhere.
    // A book large enough to be written on two processors gives the same bytes as one
    // writer's, namesakes on both sides of the middle numbered on from each other.
    QFETCH(int, format);
    Fixture f;
    QStringList lines;
    for (int i = 0; i < 2100; ++i) {
      FieldTexts r;
      r[0] = QStringLiteral("Person %1 Ünïcödé").arg(i / 4);
      for (int k = 1; k < kFieldCount; ++k) {
        if ((i + k) % 3 != 0) r[k] = QStringLiteral("f%1, v%2; \\x").arg(k).arg(i);
      }
      lines.append(BuildLineFromFields(r));
    }
    f.book(lines);
    const ExportResult exported = exportContacts(f.store, "out", ExportFormat(format));
    QCOMPARE(exported.exported, 2100);
    if (ExportFormat(format) != ExportFormat::Csv) {
      std::vector<FieldTexts> records;
      for (int row = 0; row < f.store.rowCount(); ++row) {
        FieldTexts& r = records.emplace_back();
        for (int k = 0; k < kFieldCount; ++k) r[k] = f.store.table().value(row, k).toString();
      }
      const bool v40 = ExportFormat(format) == ExportFormat::VCard40;
      QCOMPARE(readFile("out"), writeVCards(records, v40 ? VCardVersion::V40 : VCardVersion::V30));
    }

    test::TestEnvironment other;
    QDir().mkpath(fixedFolder(other.configRoot()));
    writeFile("out", readFile(f.env.workPath("out")));
    RecordStore empty(workFilePath(other.configRoot()));
    empty.SortFile();
    const ImportResult imported = importContacts(empty, "out");
    QCOMPARE(imported.imported, 2100);
    QCOMPARE(imported.unreadable, 0);
    empty.SortFile();
    QCOMPARE(empty.rowCount(), f.store.rowCount());
    for (int row = 0; row < empty.rowCount(); ++row) {
      QCOMPARE(empty.BuildRecordLine(row), f.store.BuildRecordLine(row));
    }
  }
};

QTEST_GUILESS_MAIN(ContactFilesTest)
#include "test_contact_files.moc"
