#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include "record_store/line_reader.h"
#include "record_store/line_sort.h"
#include "record_store/record_store.h"
#include "support/test_env.h"

using namespace tavelin;

namespace {

QString line(const QString& name, const QString& rest = {}) {
  QStringList f(14);
  f[0] = name;
  f[1] = rest;
  return QLatin1Char('"') + f.join(QStringLiteral("\",\"")) + QLatin1Char('"');
}

QByteArray fileOf(const QStringList& lines) {
  QByteArray out;
  for (const QString& l : lines) out += l.toUtf8() + "\r\n";
  return out;
}

QStringList namesOf(const RecordStore& store) {
  QStringList names;
  for (int r = 0; r < store.rowCount(); ++r) names << store.table().value(r, 0).toString();
  return names;
}

// The fields of a line, or its kind when it is no record.
QStringList fieldsOf(QByteArrayView line) {
  const ReadLine read = readLine(line, true);
  if (read.kind == LineKind::Blank) return {"(blank)"};
  if (read.kind == LineKind::Kept) return {"(kept)"};
  QStringList fields;
  for (QByteArrayView f : read.fields) fields << QString::fromUtf8(f);
  return fields;
}

QByteArray quotedLine(const QByteArray& first) {
  QByteArray line = QByteArray("\"") + first + QByteArray("\"");
  for (int k = 1; k < 14; ++k) line += ",\"\"";
  return line;
}

// A store on a private working directory and config folder.
struct Fixture {
  test::TestEnvironment env;
  RecordStore store{workFilePath(env.configRoot())};
  Fixture() { QDir().mkpath(fixedFolder(env.configRoot())); }
};

}  // namespace

class RecordStoreTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void fieldsAndLines();
  void sortOrder();
  void sortOfLinesMostlyInOrder();
  void missingFileAndWriters();
  void recordLimitKeepsEveryRecord();
  void failedWriteChangesNothing();
};

void RecordStoreTest::fieldsAndLines() {
  // Quoted fields end at the quote, blanks around them are skipped, unquoted fields run to the
  // comma; only a line of exactly fourteen fields that loses nothing but blanks is a record.
  QStringList expected(14);
  expected[0] = "a,b";
  expected[1] = "c ";
  QCOMPARE(fieldsOf("  \"a,b\"  ,  c ,,,,,,,,,,,,"), expected);
  QCOMPARE(fieldsOf("   "), QStringList{"(blank)"});
  QCOMPARE(fieldsOf(""), QStringList{"(blank)"});
  const QByteArray nul("\"a\0\",,,,,,,,,,,,,", 17);
  for (const QByteArray& kept :
       QByteArrayList{"\"Ida Single\"", "a,b,c,d,e", ",,,,,,,,,,,,,,,,,,,",
                      "\"Gus \"the\" Third\",,,,,,,,,,,,,", "\"Hal\"Extra,,,,,,,,,,,,,",
                      "\"open,,,,,,,,,,,,,", "a\"b,,,,,,,,,,,,,", nul}) {
    QVERIFY2(fieldsOf(kept) == QStringList{"(kept)"}, kept.constData());
  }
  const ReadLine loose = readLine(" Ann ,,,,\"555\" ,,,,,,,,,", true);
  QVERIFY(loose.kind == LineKind::Record && !loose.cut);
  QCOMPARE(loose.fields[0], "Ann ");  // blanks before a field are skipped
  QCOMPARE(loose.fields[4], "555");
  // 80 characters, not bytes: 80 two-byte letters fit, 81 are cut, blanks past 80 are not.
  const QByteArray e80 = QString(80, QChar(0xe9)).toUtf8();
  QVERIFY(!readLine(quotedLine(e80), true).cut);
  QVERIFY(readLine(quotedLine(e80 + "\xc3\xa9"), true).cut);
  const ReadLine padded = readLine(quotedLine(e80 + "   "), true);
  QVERIFY(padded.kind == LineKind::Record && !padded.cut);

  FieldTexts typed;
  typed[0] = QStringLiteral("  Ann \"A\" ");
  typed[8] = QStringLiteral("a,b");
  QCOMPARE(BuildLineFromFields(typed),
           QStringLiteral("\"  Ann 'A' \",\"\",\"\",\"\",\"\",\"\","
                          "\"\",\"\",\"a,b\",\"\",\"\",\"\",\"\",\"\""));
  // A slot holds 80 characters, leading blanks included; what is written is trimmed.
  RecordTable table;
  const QString longName = QStringLiteral("  ") + QString(83, QLatin1Char('x'));
  table.beginRecord();
  table.addField(longName);
  table.addField(u"a,b   ");
  table.endRecord();
  QCOMPARE(table.slot(0, 0), QStringLiteral("  ") + QString(78, QLatin1Char('x')));
  QCOMPARE(table.slot(0, 1), QStringLiteral("a,b").leftJustified(80));
  QCOMPARE(table.BuildRecordLine(0), line(QString(78, QLatin1Char('x')), "a,b"));

  // Half a character ending one piece is written in its place, not carried into the next.
  LineWriter writer;
  writer.append(QString(QStringLiteral("a") + QChar(0xd83d)));
  writer.append(u"\"b");
  writer.appendLine(u"\u00e9");
  QCOMPARE(writer.take(), QByteArray("a\xef\xbf\xbd\"b\xc3\xa9\r\n"));

  QCOMPARE(decodeText("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
  QCOMPARE(decodeText("caf\xe9 \x80"), QStringLiteral("caf\u00e9 \u20ac"));  // Windows-1252
}

void RecordStoreTest::sortOrder() {
  Fixture f;
  test::writeFile(kDataFileName, fileOf({line("Carla"), line("Anna"), line("smith", "2"),
                                         line("Ann"), line("Smith", "1"), line("Bram")}));
  f.store.SortFile();
  // Ann before Anna; the two Smiths are neighbours, ordered by the rest of the line.
  QCOMPARE(namesOf(f.store).mid(0, 4), (QStringList{"Ann", "Anna", "Bram", "Carla"}));
  QCOMPARE(f.store.table().value(4, 1), u"1");
  QCOMPARE(test::readFile(workFilePath(f.env.configRoot())),
           fileOf({line("Ann"), line("Anna"), line("Bram"), line("Carla"), line("Smith", "1"),
                   line("smith", "2")}));

  // Beyond ASCII: accented capitals equal their small letters, in UTF-8 and in Windows-1252.
  QCOMPARE(compareIgnoringCase("\"\xc3\x89lise\"", "\"\xc3\xa9lise\"", true), 0);
  QVERIFY(compareIgnoringCase("\"\xc3\x89lise\"", "\"\xc3\xa9lisa\"", true) > 0);
  QCOMPARE(compareIgnoringCase("\xc9lise", "\xe9lise", false), 0);
  std::vector<QByteArrayView> lines = {"\"\xc3\xa9mile\"", "\"Zoe\"", "\"\xc3\x89milie\"",
                                       "\"eva\"", "\"\xc3\x89mile\""};
  sortLinesIgnoringCase(lines, true);
  QCOMPARE(lines[0], "\"eva\"");
  QCOMPARE(lines[1], "\"Zoe\"");
  QCOMPARE(compareIgnoringCase(lines[2], lines[3], true), 0);
  QCOMPARE(lines[4], "\"\xc3\x89milie\"");
}

// A rewritten file is in order but for what was appended; whatever shortcut the sort takes,
// it must give what a stable sort by the comparison gives, equal lines in their file order.
void RecordStoreTest::sortOfLinesMostlyInOrder() {
  const std::vector<QByteArray> names = {"\"ann\"",  "\"Ann\"",          "\"ANN\"",   "\"Anna\"",
                                         "\"bram\"", "\"\xc3\x89mile\"", "\"emile\"", "\"Zoe\"",
                                         "\"zoe\"",  "\"Bram\""};
  QRandomGenerator random(11);
  for (int round = 0; round < 200; ++round) {
    std::vector<QByteArray> owned;
    const int n = static_cast<int>(random.bounded(1, 40));
    for (int i = 0; i < n; ++i)
      owned.push_back(names[random.bounded(static_cast<int>(names.size()))]);
    std::vector<QByteArrayView> lines(owned.begin(), owned.end());
    // A sorted part of any length, then lines in any order after it.
    const auto inOrder = lines.begin() + random.bounded(n + 1);
    std::stable_sort(lines.begin(), inOrder, [](QByteArrayView a, QByteArrayView b) {
      return compareIgnoringCase(a, b, true) < 0;
    });
    std::vector<QByteArrayView> expected = lines;
    std::stable_sort(expected.begin(), expected.end(), [](QByteArrayView a, QByteArrayView b) {
      return compareIgnoringCase(a, b, true) < 0;
    });
    const std::vector<quint32> order = sortOrderIgnoringCase(lines, true);
    QCOMPARE(order.size(), lines.size());
    for (size_t i = 0; i < order.size(); ++i) {
      // The same line, not only an equal one: equal lines keep their order.
      QCOMPARE(lines[order[i]].data(), expected[i].data());
    }
  }
}

void RecordStoreTest::missingFileAndWriters() {
  Fixture f;
  f.store.SortFile();  // no file: one blank record, and no file is made
  QCOMPARE(namesOf(f.store), QStringList{QString()});
  QVERIFY(!QFile::exists(kDataFileName));
  QVERIFY(f.store.FileStamp.isEmpty());
  // The blank row stands for no record: the first record added is the file's only line.
  QVERIFY(!f.store.SaveAll(line("First")));
  QCOMPARE(test::readFile(kDataFileName), fileOf({line("First")}));
  QFile::remove(kDataFileName);

  QStringList lines;
  for (int i = 0; i < 10; ++i) lines << line(QStringLiteral("Name %1").arg(i), "  padded  ");
  test::writeFile(kDataFileName, fileOf(lines));
  f.store.SortFile();
  const QString stamp = f.store.FileStamp;
  QVERIFY(!stamp.isEmpty());
  // SaveRest with row 4 selected writes the other nine in table order, trimmed, and the
  // appended line last.
  QStringList expected;
  for (int i = 0; i < 10; ++i) {
    if (i != 4) expected << line(QStringLiteral("Name %1").arg(i), "padded");
  }
  f.store.SkipWatch = false;
  QVERIFY(!f.store.SaveRest(4, line("New")));
  QCOMPARE(test::readFile(kDataFileName), fileOf(expected << line("New")));
  QVERIFY(f.store.SkipWatch);

  // Deleting the only record leaves an empty file, which loads as one blank record again.
  test::writeFile(kDataFileName, fileOf({line("Only")}));
  f.store.SortFile();
  QVERIFY(!f.store.SaveRest(0));
  QCOMPARE(test::readFile(kDataFileName), QByteArray());
  f.store.SortFile();
  QCOMPARE(namesOf(f.store), QStringList{QString()});
  // Eighty characters, not bytes: 85 two-byte letters load as 80 of them.
  test::writeFile(kDataFileName, fileOf({line(QString(85, QChar(0xe9)))}));
  f.store.SortFile();
  QCOMPARE(f.store.table().value(0, 0), QString(80, QChar(0xe9)));
  // A file that vanishes keeps the last stamp.
  const QString last = f.store.FileStamp;
  QFile::remove(kDataFileName);
  f.store.SortFile();
  QCOMPARE(f.store.FileStamp, last);
}

void RecordStoreTest::recordLimitKeepsEveryRecord() {
  Fixture f;
  QStringList lines;
  for (int i = 0; i < kRecordLimit + 2; ++i) {
    lines << line(QStringLiteral("N%1").arg(i, 5, 10, QLatin1Char('0')));
  }
  test::writeFile(kDataFileName, fileOf(lines));
  QVERIFY(f.store.SortFile().limitReached);
  QCOMPARE(f.store.rowCount(), kRecordLimit);
  // The two records that did not fit are written back after the table's rows.
  QVERIFY(!f.store.SaveAll());
  QCOMPARE(test::readFile(kDataFileName), fileOf(lines));

  lines.erase(lines.end() - 2, lines.end());
  test::writeFile(kDataFileName, fileOf(lines));
  QVERIFY(f.store.SortFile().limitReached);  // exactly the limit still says so
  lines.removeLast();
  test::writeFile(kDataFileName, fileOf(lines));
  QVERIFY(!f.store.SortFile().limitReached);
}

void RecordStoreTest::failedWriteChangesNothing() {
  Fixture f;
  test::writeFile(kDataFileName, fileOf({line("Ann"), line("Bram")}));
  f.store.SortFile();
  // A folder in the place of the file cannot be replaced by a file.
  f.store.DataFile = QStringLiteral("blocked");
  QDir().mkpath(QStringLiteral("blocked"));
  const auto error = f.store.SaveAll(line("Cleo"));
  QVERIFY(error);
  QCOMPARE(error->fileName, QStringLiteral("blocked"));
  QVERIFY(QFileInfo(QStringLiteral("blocked")).isDir());
  QCOMPARE(f.store.rowCount(), 2);
  QCOMPARE(test::readFile(kDataFileName), fileOf({line("Ann"), line("Bram")}));
}

QTEST_GUILESS_MAIN(RecordStoreTest)
#include "test_record_store.moc"
