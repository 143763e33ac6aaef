#include <sched.h>
#include <QRandomGenerator>
#include <QTest>

#include <thread>

#include "record_store/line_reader.h"
#include "record_store/line_sort.h"
#include "record_store/side_thread.h"
#include "store_files.h"

using namespace tavelin;
using namespace tavelin::test;

namespace {

// The fields of a line joined by '|', " (cut)" after them when one runs past a slot and the
// number the line held when fewer than fourteen; or the line's kind when it is no record.
QString fieldsOf(QByteArrayView line) {
  const ReadLine read = readLine(line, true);
  if (read.kind == LineKind::Blank) return QStringLiteral("(blank)");
  if (read.kind == LineKind::Kept) return QStringLiteral("(kept)");
  QStringList fields;
  for (QByteArrayView f : read.fields) fields << QString::fromUtf8(f);
  return fields.join(QLatin1Char('|')) + (read.cut ? QStringLiteral(" (cut)") : QString()) +
         (read.count < kFieldCount ? QStringLiteral(" [%1]").arg(read.count) : QString());
}

}  // namespace

class RecordStoreTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void fieldsAndLines() {
    // Quoted fields end at the quote, blanks before a field are skipped, unquoted fields run to
    // the comma; a line of up to fourteen fields that loses nothing but blanks is a record, the
    // fields it lacks empty. A field is cut past 80 characters, not bytes, and blanks past 80 do
    // not count.
    const QString e80(80, QChar(0xe9));
    const QString rest(13, QLatin1Char('|'));
    const std::pair<QByteArray, QString> lines[] = {
        {"  \"a,b\"  ,  c ,,,,,,,,,,,,", "a,b|c " + QString(12, QLatin1Char('|'))},
        {" Ann ,,,,\"555\" ,,,,,,,,,", "Ann ||||555" + QString(9, QLatin1Char('|'))},
        {"   ", "(blank)"},
        {"", "(blank)"},
        {record(e80.toUtf8()), e80 + rest},
        {record(e80.toUtf8() + "\xc3\xa9"), e80 + QChar(0xe9) + rest + " (cut)"},
        {record(e80.toUtf8() + "   "), e80 + "   " + rest},
        {"\"Ida Single\"", "Ida Single" + rest + " [1]"},
        {"a,b,c,d,e", "a|b|c|d|e" + QString(9, QLatin1Char('|')) + " [5]"},
        {"\"Jo\",\"" + e80.toUtf8() + "\xc3\xa9\"",
         "Jo|" + e80 + QChar(0xe9) + QString(12, QLatin1Char('|')) + " (cut) [2]"},
        {",,,,,,,,,,,,,", QString(13, QLatin1Char('|'))},
        {",,,,,,,,,,,,,,", "(kept)"},
        {",,,,,,,,,,,,,,,,,,,", "(kept)"},
        {"\"Ida\",\"Lane\"tail", "(kept)"},
        {"\"Ida\",\"Lane", "(kept)"},
        {"\"Ida\",\"\x01\"", "(kept)"},
        {"\"Gus \"the\" Third\",,,,,,,,,,,,,", "(kept)"},
        {"\"Hal\"Extra,,,,,,,,,,,,,", "(kept)"},
        {"\"open,,,,,,,,,,,,,", "(kept)"},
        {"a\"b,,,,,,,,,,,,,", "(kept)"},
        {QByteArray("\"a\0\",,,,,,,,,,,,,", 17), "(kept)"}};
    for (const auto& [line, fields] : lines) QCOMPARE(fieldsOf(line), fields);
    // The quote or comma that ends a field is found wherever it falls, the next field's too.
    for (int n = 0; n < 24; ++n) {
      const QByteArray value(n, 'v');
      const QString expected = QString::fromLatin1(value) + "|x" + QString(12, QLatin1Char('|'));
      QCOMPARE(fieldsOf(record(value, 1, "x")), expected);
      QCOMPARE(fieldsOf(QByteArray(value + ",x,,,,,,,,,,,,")), expected);
    }

    FieldTexts typed;
    typed[0] = QStringLiteral("  Ann \"A\" ");
    typed[8] = QStringLiteral("a,b");
    QCOMPARE(BuildLineFromFields(typed),
             QStringLiteral("\"  Ann 'A' \",\"\",\"\",\"\",\"\",\"\","
                            "\"\",\"\",\"a,b\",\"\",\"\",\"\",\"\",\"\""));
    // A quote wherever it stands in a field, and a field of every length around it.
    for (int n = 1; n < 20; ++n) {
      for (int at = 0; at < n; ++at) {
        FieldTexts one;
        one[1] = QString(n, QLatin1Char('x'));
        one[1][at] = QLatin1Char('"');
        QString expected = one[1];
        expected[at] = QLatin1Char('\'');
        QCOMPARE(BuildLineFromFields(one),
                 "\"\",\"" + expected + "\"" + QString(12, QLatin1Char(',')).replace(",", ",\"\""));
      }
    }
    // A slot holds 80 characters, leading blanks included; what is written is trimmed.
    RecordTable table;
    table.beginRecord();
    table.addField(QString(QStringLiteral("  ") + QString(83, QLatin1Char('x'))));
    table.addField(u"a,b   ");
    table.endRecord();
    QCOMPARE(table.slot(0, 0), QStringLiteral("  ") + QString(78, QLatin1Char('x')));
    QCOMPARE(table.slot(0, 1), QStringLiteral("a,b").leftJustified(80));
    QCOMPARE(table.BuildRecordLine(0), QString::fromUtf8(record(QByteArray(78, 'x'), 1, "a,b")));

    // Half a character ending one piece is written in its place, not carried into the next.
    LineWriter writer;
    writer.append(QString(QStringLiteral("a") + QChar(0xd83d)));
    writer.append(u"\"b");
    writer.appendLine(u"\u00e9");
    QCOMPARE(writer.take(), QByteArray("a\xef\xbf\xbd\"b\xc3\xa9\r\n"));
    // Plain lines of every length, and one whose last character only is not ASCII.
    for (int n = 0; n < 40; ++n) {
      const QByteArray ascii = QByteArray("abcdefghijklmnopqrstuvwxyz0123456789ABCD").first(n);
      writer.appendLine(QString::fromLatin1(ascii));
      QCOMPARE(writer.take(), ascii + "\r\n");
      writer.appendLine(QString(QString::fromLatin1(ascii) + QChar(0xe9)));
      QCOMPARE(writer.take(), ascii + "\xc3\xa9\r\n");
    }

    QCOMPARE(decodeText("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
    QCOMPARE(decodeText("caf\xe9 \x80"), QStringLiteral("caf\u00e9 \u20ac"));  // Windows-1252
  }

  void sortOrder() {
    StoreFixture f;
    writeFile(kDataFileName, fileOf({record("Carla"), record("Anna"), record("smith", 1, "2"),
                                     record("Ann"), record("Smith", 1, "1"), record("Bram")}));
    f.store.SortFile();
    // Ann before Anna; the two Smiths are neighbours, ordered by the rest of the line.
    QCOMPARE(f.names().mid(0, 4), (QStringList{"Ann", "Anna", "Bram", "Carla"}));
    QCOMPARE(f.store.table().value(4, 1), u"1");
    QCOMPARE(readFile(workFilePath(f.env.configRoot())),
             fileOf({record("Ann"), record("Anna"), record("Bram"), record("Carla"),
                     record("Smith", 1, "1"), record("smith", 1, "2")}));
    // Every line of the file is there, in the one order: a blank line and a note too. The next
    // load's work file is shorter: nothing of the longer one is left at its end.
    writeFile(kDataFileName, fileOf({record("Bram"), "a note", "", record("Ann")}));
    f.store.SortFile();
    QCOMPARE(readFile(workFilePath(f.env.configRoot())),
             fileOf({"", record("Ann"), record("Bram"), "a note"}));

    // Beyond ASCII: accented capitals equal their small letters, in UTF-8 and in Windows-1252.
    QCOMPARE(compareIgnoringCase("\"\xc3\x89lise\"", "\"\xc3\xa9lise\"", true), 0);
    QVERIFY(compareIgnoringCase("\"\xc3\x89lise\"", "\"\xc3\xa9lisa\"", true) > 0);
    QCOMPARE(compareIgnoringCase("\xc9lise", "\xe9lise", false), 0);
    std::vector<QByteArrayView> lines = {"\"\xc3\xa9mile\"", "\"Zoe\"", "\"\xc3\x89milie\"",
                                         "\"eva\"", "\"\xc3\x89mile\""};
    const std::vector<quint32> order = sortOrderIgnoringCase(lines, true);
    QCOMPARE(lines[order[0]], "\"eva\"");
    QCOMPARE(lines[order[1]], "\"Zoe\"");
    QCOMPARE(compareIgnoringCase(lines[order[2]], lines[order[3]], true), 0);
    QCOMPARE(lines[order[4]], "\"\xc3\x89milie\"");
  }

  // A rewritten file is in order but for what was appended; whatever shortcut the sort takes,
  // it must give what a stable sort by the comparison gives, equal lines in their file order.
  void sortOfLinesMostlyInOrder() {
    const std::vector<QByteArray> names = {"\"ann\"",  "\"Ann\"",          "\"ANN\"",   "\"Anna\"",
                                           "\"bram\"", "\"\xc3\x89mile\"", "\"emile\"", "\"Zoe\"",
                                           "\"zoe\"",  "\"Bram\""};
    const auto less = [](QByteArrayView a, QByteArrayView b) {
      return compareIgnoringCase(a, b, true) < 0;
    };
    QRandomGenerator random(11);
    for (int round = 0; round < 200; ++round) {
      std::vector<QByteArray> owned;
      const int n = static_cast<int>(random.bounded(1, 40));
      for (int i = 0; i < n; ++i)
        owned.push_back(names[random.bounded(static_cast<int>(names.size()))]);
      std::vector<QByteArrayView> lines(owned.begin(), owned.end());
      // A sorted part of any length, then lines in any order after it.
      std::stable_sort(lines.begin(), lines.begin() + random.bounded(n + 1), less);
      std::vector<QByteArrayView> expected = lines;
      std::stable_sort(expected.begin(), expected.end(), less);
      const std::vector<quint32> order = sortOrderIgnoringCase(lines, true);
      QCOMPARE(order.size(), lines.size());
      for (size_t i = 0; i < order.size(); ++i) {
        // The same line, not only an equal one: equal lines keep their order.
        QCOMPARE(lines[order[i]].data(), expected[i].data());
      }
    }
  }

  void missingFileAndWriters() {
    StoreFixture f;
    f.store.SortFile();  // no file: one blank record, and no file is made
    QCOMPARE(f.names(), QStringList{QString()});
    QVERIFY(!QFile::exists(kDataFileName));
    QVERIFY(f.store.fileStamp().isEmpty());
    // The blank row stands for no record: the first record added is the file's only line.
    QVERIFY(f.store.SaveAll(record("First")));
    QCOMPARE(readFile(kDataFileName), fileOf({record("First")}));

    // SaveRest with row 4 selected writes the other nine in table order, trimmed, and the
    // appended line last.
    QByteArrayList lines, expected;
    for (int i = 0; i < 10; ++i) {
      lines << record("Name " + QByteArray::number(i), 1, "  padded  ");
      if (i != 4) expected << record("Name " + QByteArray::number(i), 1, "padded");
    }
    writeFile(kDataFileName, fileOf(lines));
    f.store.SortFile();
    QVERIFY(!f.store.fileStamp().isEmpty());
    f.store.takeSkipWatch();
    QVERIFY(f.store.SaveRest(4, record("New")));
    QCOMPARE(readFile(kDataFileName), fileOf(expected << record("New")));
    QVERIFY(f.store.skipWatch());

    // Deleting the only record leaves an empty file, which loads as one blank record again.
    writeFile(kDataFileName, fileOf({record("Only")}));
    f.store.SortFile();
    QVERIFY(f.store.SaveRest(0));
    QCOMPARE(readFile(kDataFileName), QByteArray());
    f.store.SortFile();
    QCOMPARE(f.names(), QStringList{QString()});
    // A file that vanishes keeps the last stamp.
    const QString last = f.store.fileStamp();
    QFile::remove(kDataFileName);
    f.store.SortFile();
    QCOMPARE(f.store.fileStamp(), last);

    // A folder in the place of the file cannot be replaced by a file: nothing changes.
    writeFile(kDataFileName, fileOf({record("Ann"), record("Bram")}));
    f.store.SortFile();
    QVERIFY(QDir().mkpath(QStringLiteral("blocked")));
    const SaveResult saved = f.store.WriteBackup(QStringLiteral("blocked"));
    QVERIFY(!saved);
    QCOMPARE(saved.error().fileName, QStringLiteral("blocked"));
    QVERIFY(QFileInfo(QStringLiteral("blocked")).isDir());
    QCOMPARE(f.store.rowCount(), 2);
    QCOMPARE(readFile(kDataFileName), fileOf({record("Ann"), record("Bram")}));
  }

  void recordLimitKeepsEveryRecord() {
    StoreFixture f;
    QByteArrayList lines;
    for (int i = 0; i < kRecordLimit + 2; ++i)
      lines << record("N" + QByteArray::number(i).rightJustified(5, '0'));
    writeFile(kDataFileName, fileOf(lines));
    QVERIFY(f.store.SortFile().limitReached);
    QCOMPARE(f.store.rowCount(), kRecordLimit);
    // The two records that did not fit are written back after the table's rows.
    QVERIFY(f.store.SaveAll());
    QCOMPARE(readFile(kDataFileName), fileOf(lines));

    lines.erase(lines.end() - 2, lines.end());
    writeFile(kDataFileName, fileOf(lines));
    QVERIFY(f.store.SortFile().limitReached);  // exactly the limit still says so
    lines.removeLast();
    writeFile(kDataFileName, fileOf(lines));
    QVERIFY(!f.store.SortFile().limitReached);
  }

  // Work beside the caller runs once, on another thread where another processor may take it,
  // and in the caller where none can; it is done when joined or replaced.
  void sideThread() {
    struct Runs {
      int first = 0, second = 0;
      std::thread::id by;
    };
    const auto run = [](Runs& r) {
      SideThread side([&r] {
        ++r.first;
        r.by = std::this_thread::get_id();
      });
      side = SideThread([&r] { ++r.second; });  // the first is joined before it is replaced
      const int firstWhenReplaced = r.first;
      side.join();
      return firstWhenReplaced;
    };
    cpu_set_t all;
    QCOMPARE(sched_getaffinity(0, sizeof all, &all), 0);
    Runs elsewhere;
    QCOMPARE(run(elsewhere), 1);
    QCOMPARE(elsewhere.second, 1);
    if (CPU_COUNT(&all) > 1) QVERIFY(elsewhere.by != std::this_thread::get_id());

    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    QCOMPARE(sched_setaffinity(0, sizeof one, &one), 0);
    Runs here;
    const int firstWhenReplaced = run(here);
    QCOMPARE(sched_setaffinity(0, sizeof all, &all), 0);
    QCOMPARE(firstWhenReplaced, 1);
    QCOMPARE(here.second, 1);
    QCOMPARE(here.by, std::this_thread::get_id());
  }

  // A read ahead stands for the file only while it holds the same bytes: a change of another
  // copy in between, even one of the same length, is what the load shows.
  void preloadTakenOnlyWhileTheFileIsUnchanged() {
    StoreFixture f;
    const QString workFile = workFilePath(f.env.configRoot());
    writeRecords({"Cleo", "Ann"});
    f.store.Preload();
    QVERIFY(!f.store.SortFile().limitReached);
    QCOMPARE(f.names(), (QStringList{"Ann", "Cleo"}));
    QCOMPARE(readFile(workFile), fileOf({record("Ann"), record("Cleo")}));
    QVERIFY(f.store.SaveAll(record("Bram")));  // saves from the bytes read ahead
    QCOMPARE(readFile(kDataFileName), fileOf({record("Ann"), record("Cleo"), record("Bram")}));

    for (const char* file : {"Dirk|Ann|Cleo", "Dirk|Ann|Eva!"}) {
      f.store.Preload();
      QTest::qWait(50);  // the read ahead is done before the file changes
      writeRecords(listOf(file));
      f.store.SortFile();
      QStringList names = listOf(file);
      names.sort();
      QCOMPARE(f.names(), names);
      QCOMPARE(readFile(workFile), fileOfNames(names));
    }

    // A file that cannot be read is reported as ever; nothing is saved over it.
    f.store.Preload();
    QTest::qWait(50);
    writeFile(kDataFileName, QByteArray("\xff\xfe\x41\x00"));
    QCOMPARE(f.store.SortFile().unreadable, QStringLiteral("it is not a text file"));
    QVERIFY(!f.store.SaveAll(record("Bram")));
  }

  void reloadAfterSave_data() {
    QTest::addColumn<QString>("after");      // what happens between the save and the reload
    QTest::addColumn<bool>("oneProcessor");  // the save made where no other processor is free
    QTest::addColumn<QStringList>("names");  // the reload's
    // The work file's names right after the save, where it is known then: a save that failed
    // leaves it as it was, and so does one whose bytes could not be loaded beside it.
    QTest::addColumn<QStringList>("workFile");

    const QStringList before = {"Ann", "Cleo"}, saved = {"Ann", "Bram", "Cleo"};
    QTest::newRow("nothing") << "" << false << saved << QStringList{};
    QTest::newRow("nothing, one processor") << "" << true << saved << before;
    QTest::newRow("another copy saves")
        << "other" << false << QStringList{"Ann", "Bram", "Cleo", "Dirk"} << QStringList{};
    QTest::newRow("changed to the same length")
        << "same length" << false << QStringList{"Ann", "Cleo", "Zora"} << QStringList{};
    QTest::newRow("the rename failed") << "rename failed" << false << before << before;
    QTest::newRow("the folder sync failed") << "folder sync failed" << false << saved << before;
  }

  // A save's own bytes are loaded while they are synced; the reload after it shows the file as
  // it is then, whatever happened in between, and the work file follows only a save that wrote
  // the data file.
  void reloadAfterSave() {
    QFETCH(QString, after);
    QFETCH(bool, oneProcessor);
    QFETCH(QStringList, names);
    QFETCH(QStringList, workFile);
    StoreFixture f;
    const QString work = workFilePath(f.env.configRoot());
    writeFile(kDataFileName, fileOf({record("Cleo"), record("Ann")}));
    f.store.SortFile();

    std::optional<WriteStep> failed;
    if (after == u"rename failed") failed = WriteStep::Rename;
    if (after == u"folder sync failed") failed = WriteStep::FolderSync;
    cpu_set_t all, one;
    QCOMPARE(sched_getaffinity(0, sizeof all, &all), 0);
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    if (oneProcessor) QCOMPARE(sched_setaffinity(0, sizeof one, &one), 0);
    bool ok = false;
    {
      FailingStep failing(failed);
      ok = bool(f.store.SaveAll(record("Bram")));
    }
    QCOMPARE(sched_setaffinity(0, sizeof all, &all), 0);
    QCOMPARE(ok, !failed);
    if (!workFile.isEmpty()) QCOMPARE(readFile(work), fileOfNames(workFile));

    if (after == u"other") {
      RecordStore other(f.env.configRoot() + u"/other.tmp"_qs);
      other.SortFile();
      QVERIFY(other.SaveAll(record("Dirk")));
    } else if (after == u"same length") {
      writeFile(kDataFileName, fileOf({record("Zora"), record("Ann"), record("Cleo")}));
    }
    QVERIFY(f.store.SortFile().unreadable.isEmpty());
    QCOMPARE(f.names(), names);
    QCOMPARE(readFile(work), fileOfNames(names));
    // The next save starts from what the reload shows.
    QVERIFY(f.store.SaveAll(record("Eva")));
    QCOMPARE(readFile(kDataFileName), fileOfNames(names << "Eva"));
  }
};

QTEST_GUILESS_MAIN(RecordStoreTest)
#include "test_record_store.moc"
