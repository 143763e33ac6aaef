#include <QDir>
#include <QFile>
#include <QTest>

#include "record_store/field_reader.h"
#include "record_store/line_sort.h"
#include "record_store/paths.h"
#include "record_store/record_store.h"
#include "record_store/text_codec.h"
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

std::vector<QString> readAll(const QString& text) {
  const std::vector<QStringView> lines = splitLines(QStringView(text));
  LineListSource source(lines);
  FieldReader reader(source);
  std::vector<QString> fields;
  while (!reader.atEnd()) fields.push_back(reader.readField().toString());
  return fields;
}

}  // namespace

class RecordStoreTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void fieldReader();
  void lineBuilders();
  void decoding();
  void sortOrderAndWorkFile();
  void caseFoldingBeyondAscii();
  void missingOrEmptyFile();
  void writers();
  void recordLimitKeepsEveryRecord();
  void failedWriteChangesNothing();
  void hostileBytes();
};

void RecordStoreTest::fieldReader() {
  using V = std::vector<QString>;
  // Quotes end a quoted field; what follows up to the comma is skipped; blanks before a field.
  QCOMPARE(readAll(QStringLiteral("\"a,b\"xx,  c , \"d\"")), (V{"a,b", "c ", "d"}));
  // Fields are counted across lines, an empty line is one empty field.
  QCOMPARE(readAll(QStringLiteral("a,b\r\n\r\nc\rd\ne")), (V{"a", "b", "", "c", "d", "e"}));
  // A quote that is never closed ends at the line end rather than swallowing the file.
  QCOMPARE(readAll(QStringLiteral("\"open,x\r\n\"next\"")), (V{"open,x", "next"}));
  // A trailing comma leaves one more, empty, field.
  QCOMPARE(readAll(QStringLiteral("a,\r\nb")), (V{"a", "", "b"}));

  const QString text = QStringLiteral("a,b,c\r\nd");
  const std::vector<QStringView> lines = splitLines(QStringView(text));
  LineListSource source(lines);
  FieldReader reader(source);
  QCOMPARE(reader.readField(), u"a");
  QCOMPARE(reader.remainingLines(), (QStringList{"b,c", "d"}));
}

void RecordStoreTest::lineBuilders() {
  QCOMPARE(ReplaceQuotes(u"say \"hi\""), QStringLiteral("say 'hi'"));
  QCOMPARE(ReplaceQuotes(u""), QString());
  FieldTexts typed;
  typed[0] = QStringLiteral("  Ann \"A\" Example ");
  typed[4] = QStringLiteral("555 0101");
  typed[8] = QStringLiteral("a,b");
  QCOMPARE(BuildLineFromFields(typed),
           QStringLiteral("\"  Ann 'A' Example \",\"\",\"\",\"\",\"555 0101\",\"\",\"\",\"\","
                          "\"a,b\",\"\",\"\",\"\",\"\",\"\""));

  // Stored slots: cut to 80, padded to 80; written and shown trimmed.
  RecordTable table;
  const QString longName = QStringLiteral("  ") + QString(83, QLatin1Char('x'));
  std::array<QStringView, kFieldCount> fields{};
  fields[0] = longName;
  fields[1] = u"a,b   ";
  table.append(fields);
  QCOMPARE(table.slot(0, 0), QStringLiteral("  ") + QString(78, QLatin1Char('x')));
  QCOMPARE(table.slot(0, 1).size(), 80);
  QCOMPARE(table.value(0, 0), QString(78, QLatin1Char('x')));
  QCOMPARE(table.recordLine(0),
           QStringLiteral("\"%1\",\"a,b\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"")
               .arg(QString(78, QLatin1Char('x'))));
}

void RecordStoreTest::decoding() {
  QCOMPARE(decodeText("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
  // Not UTF-8: Windows-1252, where 0x80 is the euro sign and 0x93 a curly quote.
  QCOMPARE(decodeText("caf\xe9 \x80\x93"), QStringLiteral("caf\u00e9 \u20ac\u201c"));
}

void RecordStoreTest::sortOrderAndWorkFile() {
  test::TestEnvironment env;
  QDir().mkpath(fixedFolder(env.configRoot()));
  test::writeFile(kDataFileName, fileOf({line("Carla"), line("Anna"), line("smith", "2"),
                                         line("Ann"), line("Smith", "1"), line("Bram")}));
  RecordStore store(workFilePath(env.configRoot()));
  store.SortFile();
  // Ann before Anna; the two Smiths are neighbours, ordered by the rest of the line.
  QCOMPARE(namesOf(store).mid(0, 4), (QStringList{"Ann", "Anna", "Bram", "Carla"}));
  QCOMPARE(namesOf(store).mid(4).join(',').toLower(), QStringLiteral("smith,smith"));
  QCOMPARE(store.table().value(4, 1), u"1");
  QCOMPARE(test::readFile(workFilePath(env.configRoot())),
           fileOf({line("Ann"), line("Anna"), line("Bram"), line("Carla"), line("Smith", "1"),
                   line("smith", "2")}));
  QVERIFY(store.SkipWatch);
  QVERIFY(!store.FileStamp.isEmpty());
}

void RecordStoreTest::caseFoldingBeyondAscii() {
  // Accented capitals and small letters are equal; "Ann" stays before "Anna".
  QCOMPARE(compareIgnoringCase("\"\xc3\x89lise\"", "\"\xc3\xa9lise\"", true), 0);
  QVERIFY(compareIgnoringCase("\"\xc3\x89lise\"", "\"\xc3\xa9lisa\"", true) > 0);
  QVERIFY(compareIgnoringCase("\"Ann\"", "\"Anna\"", true) < 0);
  QVERIFY(compareIgnoringCase("\"ann\"", "\"ANNA\"", true) < 0);
  // The same in a Windows-1252 file (0xC9 and 0xE9), and 0x8A (S caron) against 0x9A (s caron).
  QCOMPARE(compareIgnoringCase("\xc9lise", "\xe9lise", false), 0);
  QCOMPARE(compareIgnoringCase("\x8a", "\x9a", false), 0);

  // A sorted UTF-8 file keeps the differently cased names together (accented letters after z).
  std::vector<QByteArrayView> lines = {"\"\xc3\xa9mile\"", "\"Zoe\"", "\"\xc3\x89milie\"",
                                       "\"eva\"", "\"\xc3\x89mile\""};
  sortLinesIgnoringCase(lines, true);
  QCOMPARE(lines[0], "\"eva\"");
  QCOMPARE(lines[1], "\"Zoe\"");
  QCOMPARE(compareIgnoringCase(lines[2], "\"\xc3\xa9mile\"", true), 0);
  QCOMPARE(compareIgnoringCase(lines[3], "\"\xc3\xa9mile\"", true), 0);
  QCOMPARE(lines[4], "\"\xc3\x89milie\"");
}

void RecordStoreTest::missingOrEmptyFile() {
  test::TestEnvironment env;
  QDir().mkpath(fixedFolder(env.configRoot()));
  RecordStore store(workFilePath(env.configRoot()));
  store.SortFile();
  QCOMPARE(store.rowCount(), 1);
  QCOMPARE(store.table().value(0, 0), u"");
  QVERIFY(!QFile::exists(kDataFileName));
  QVERIFY(store.FileStamp.isEmpty());

  // Deleting that row leaves an empty file, which again loads as one blank row.
  QVERIFY(!store.SaveRest(0));
  QCOMPARE(test::readFile(kDataFileName), QByteArray());
  store.SortFile();
  QCOMPARE(store.rowCount(), 1);
  const QString stamp = store.FileStamp;
  QVERIFY(!stamp.isEmpty());

  // A file that vanishes keeps the last stamp.
  QFile::remove(kDataFileName);
  store.SortFile();
  QCOMPARE(store.FileStamp, stamp);
}

void RecordStoreTest::writers() {
  test::TestEnvironment env;
  QDir().mkpath(fixedFolder(env.configRoot()));
  QStringList lines;
  for (int i = 0; i < 10; ++i) lines << line(QStringLiteral("Name %1").arg(i), "  padded  ");
  test::writeFile(kDataFileName, fileOf(lines));
  RecordStore store(workFilePath(env.configRoot()));
  store.SortFile();

  // SaveRest with row 4 selected writes the other nine in table order, trimmed.
  QStringList expected;
  for (int i = 0; i < 10; ++i) {
    if (i != 4) expected << line(QStringLiteral("Name %1").arg(i), "padded");
  }
  store.SkipWatch = false;
  QVERIFY(!store.SaveRest(4));
  QCOMPARE(test::readFile(kDataFileName), fileOf(expected));
  QVERIFY(store.SkipWatch);

  // SaveAll writes every row and the appended line last, in one go.
  QVERIFY(!store.SaveAll(line("New")));
  QStringList all;
  for (int i = 0; i < 10; ++i) all << line(QStringLiteral("Name %1").arg(i), "padded");
  QCOMPARE(test::readFile(kDataFileName), fileOf(all << line("New")));

  // A line with an 85-character field loads cut to 80.
  test::writeFile(kDataFileName, fileOf({line(QString(85, QLatin1Char('n')))}));
  store.SortFile();
  QCOMPARE(store.table().value(0, 0), QString(80, QLatin1Char('n')));
}

void RecordStoreTest::recordLimitKeepsEveryRecord() {
  test::TestEnvironment env;
  QDir().mkpath(fixedFolder(env.configRoot()));
  QStringList lines;
  for (int i = 0; i < kRecordLimit + 2; ++i) lines << line(QStringLiteral("N%1").arg(i, 5, 10, QLatin1Char('0')));
  test::writeFile(kDataFileName, fileOf(lines));
  RecordStore store(workFilePath(env.configRoot()));
  QVERIFY(store.SortFile().limitReached);
  QCOMPARE(store.rowCount(), kRecordLimit);
  // The two records that did not fit are written back after the table's rows.
  QVERIFY(!store.SaveAll());
  QCOMPARE(test::readFile(kDataFileName), fileOf(lines));

  lines.removeLast();
  lines.removeLast();
  test::writeFile(kDataFileName, fileOf(lines));
  QVERIFY(store.SortFile().limitReached);  // exactly the limit still says so
  QCOMPARE(store.rowCount(), kRecordLimit);
  lines.removeLast();
  test::writeFile(kDataFileName, fileOf(lines));
  QVERIFY(!store.SortFile().limitReached);
}

void RecordStoreTest::failedWriteChangesNothing() {
  test::TestEnvironment env;
  QDir().mkpath(fixedFolder(env.configRoot()));
  test::writeFile(kDataFileName, fileOf({line("Ann"), line("Bram")}));
  RecordStore store(workFilePath(env.configRoot()));
  store.SortFile();
  // A folder in the place of the file cannot be replaced by a file.
  store.DataFile = QStringLiteral("blocked");
  QDir().mkpath(QStringLiteral("blocked"));
  const auto error = store.SaveAll(line("Cleo"));
  QVERIFY(error);
  QCOMPARE(error->fileName, QStringLiteral("blocked"));
  QVERIFY(QFileInfo(QStringLiteral("blocked")).isDir());
  QCOMPARE(store.rowCount(), 2);
  QCOMPARE(test::readFile(kDataFileName), fileOf({line("Ann"), line("Bram")}));
}

void RecordStoreTest::hostileBytes() {
  test::TestEnvironment env;
  QDir().mkpath(fixedFolder(env.configRoot()));
  RecordStore store(workFilePath(env.configRoot()));
  static const char kHead[] = "\"unbalanced,\"\0nul\",x\r\rCR only\"\xff\xfe bad utf8\r\n";
  QByteArray bytes(kHead, sizeof kHead - 1);
  bytes += QByteArray(1 << 20, 'z');
  bytes += "\n\"last\"";
  bytes.insert(5, '\0');
  test::writeFile(kDataFileName, bytes);
  store.SortFile();
  // Sorted, the empty line comes first and gives the first field; the rest follow the rules.
  QCOMPARE(store.rowCount(), 1);
  const RecordTable& t = store.table();
  QCOMPARE(t.value(0, 0), u"");
  QCOMPARE(t.value(0, 1), u"last");
  QCOMPARE(t.value(0, 2), QStringView(u"unba\0lanced,", 12));
  QCOMPARE(t.value(0, 3), u"x");  // the rest of a closed quote up to the comma is skipped
  QCOMPARE(t.value(0, 4), QStringView(u"CR only\"\u00ff\u00fe bad utf8"));
  QCOMPARE(t.value(0, 5), QString(80, QLatin1Char('z')));
  QVERIFY(!store.SaveAll());
  QCOMPARE(store.SortFile().limitReached, false);
}

QTEST_GUILESS_MAIN(RecordStoreTest)
#include "test_record_store.moc"
