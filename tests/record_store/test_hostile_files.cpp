// Data files as users end up with them: hand-edited, copied from elsewhere, damaged. A save
// never loses a line or a word the file held, and a file that cannot be read is never replaced.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "record_store/record_store.h"
#include "record_store/text_codec.h"
#include "support/test_env.h"

using namespace tavelin;

namespace {

// A record as the program writes it, its first phone "tel <name>" so that a shift shows.
QByteArray record(const QByteArray& name) {
  QByteArray line = "\"" + name + "\",\"\",\"\",\"\",\"tel " + name + "\"";
  for (int k = 5; k < 14; ++k) line += ",\"\"";
  return line;
}

QByteArray fileOf(const QByteArrayList& lines) {
  QByteArray out;
  for (const QByteArray& l : lines) out += l + "\r\n";
  return out;
}

// The words of a text file: what lies between blanks, quotes, commas and control characters.
QStringList wordsOf(const QByteArray& bytes) {
  QString text = decodeText(bytes);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  static const QRegularExpression separators(QStringLiteral("[\\x00-\\x20\",]+"));
  QStringList words = text.split(separators, Qt::SkipEmptyParts);
  words.sort();
  return words;
}

// True when every word of `from`, as often as it occurs there, is in `to`.
bool keepsEveryWord(const QByteArray& from, const QByteArray& to) {
  const QStringList a = wordsOf(from);
  const QStringList b = wordsOf(to);
  return std::includes(b.begin(), b.end(), a.begin(), a.end());
}

QByteArrayList linesOf(const QByteArray& bytes) {
  QByteArrayList lines;
  for (QByteArrayView l : splitLines(QByteArrayView(bytes))) lines << l.toByteArray();
  return lines;
}

// Runs check as a user whom file modes bind: root reads and writes everything all the same, so
// then it runs in a child process as the unprivileged user. 0 when the check held.
int asUnprivilegedUser(const std::function<int()>& check) {
  if (geteuid() != 0) return check();
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(9);
    _exit(check());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 10;
  return WEXITSTATUS(status);
}

struct Fixture {
  test::TestEnvironment env;
  RecordStore store{workFilePath(env.configRoot())};
  Fixture() { QDir().mkpath(fixedFolder(env.configRoot())); }

  QStringList names() const {
    QStringList out;
    for (int r = 0; r < store.rowCount(); ++r) out << store.table().value(r, 0).toString();
    return out;
  }
  // Loads and saves every row; the file as it is afterwards.
  QByteArray loadAndSave() {
    store.SortFile();
    if (const auto error = store.SaveAll()) return "error: " + error->reason.toUtf8();
    return test::readFile(kDataFileName);
  }
};

}  // namespace

class HostileFilesTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void readerFaults();
  void linesThatAreNoRecord_data();
  void linesThatAreNoRecord();
  void fieldsLongerThanTheTable();
  void byteOrderMarkAndOldEncoding();
  void charactersOfTwoHalves();
  void filesThatAreRefused();
  void filesWithoutPermission();
  void readOnlyFileAndFolder();
  void fullDisk();
  void randomFilesLoseNothing();
};

// Files that once made the line splitter read past the end of the bytes, or reach memchr and
// memcpy with no buffer: each loads, saves, and saves again to the same bytes.
void HostileFilesTest::readerFaults() {
  QCOMPARE(splitLines(QByteArrayView("\r")).size(), size_t(1));
  QCOMPARE(splitLines(QByteArrayView("a\r")).size(), size_t(1));
  QCOMPARE(splitLines(QByteArrayView("a\r\r\nb")).size(), size_t(3));
  QCOMPARE(splitLines(QByteArrayView()).size(), size_t(0));

  const QByteArray commas(28, ',');
  for (const QByteArray& bytes :
       QByteArrayList{"\r", "x\r", "\r\r", "\r\n", "", commas, commas + "\r\n" + record("Ann"),
                      "\r\n" + record("Bo") + "\r\n\r\n", record("Cy") + "\r"}) {
    Fixture f;
    test::writeFile(kDataFileName, bytes);
    const QByteArray first = f.loadAndSave();
    QVERIFY2(!first.startsWith("error"), bytes.toHex().constData());
    QCOMPARE(f.loadAndSave(), first);
    QVERIFY2(keepsEveryWord(bytes, first), bytes.toHex().constData());
  }
  // Lines sort as they stand, blanks inside the quotes included, and are written trimmed:
  // such a file is ordered anew once, at the load after the save that trims it.
  {
    Fixture f;
    test::writeFile(kDataFileName,
                    fileOf({"\"Ann  \",\"2\"" + QByteArray(12, ','), record("Ann")}));
    f.store.SortFile();
    QCOMPARE(f.store.table().value(0, 1), u"2");
    const QByteArray trimmed = f.loadAndSave();
    QCOMPARE(linesOf(trimmed).size(), 2);
    const QByteArray second = f.loadAndSave();
    QCOMPARE(f.store.table().value(0, 1), u"");
    QCOMPARE(f.loadAndSave(), second);
  }
  // The line of commas is no record: it is kept whole, beside the one blank record.
  Fixture f;
  test::writeFile(kDataFileName, commas);
  f.store.SortFile();
  QCOMPARE(f.names(), QStringList{QString()});
  QVERIFY(!f.store.SaveRest(0));
  QCOMPARE(test::readFile(kDataFileName), commas + "\r\n");
}

void HostileFilesTest::linesThatAreNoRecord_data() {
  QTest::addColumn<QByteArrayList>("odd");  // lines that are no record, kept as they stand

  QTest::newRow("empty lines") << QByteArrayList{"", "", "   "};
  QTest::newRow("NUL bytes") << QByteArrayList{QByteArray(300, '\0')};
  QTest::newRow("unquoted, five fields") << QByteArrayList{"  Ned Plain  ,  Lane 14  ,, ,555 0114"};
  QByteArray twenty = "\"Aaron\"";
  for (int k = 1; k < 20; ++k) twenty += ",\"f" + QByteArray::number(k) + "\"";
  QTest::newRow("twenty fields sorting first") << QByteArrayList{twenty};
  QTest::newRow("one field") << QByteArrayList{"\"Ida Single\""};
  QTest::newRow("five fields") << QByteArrayList{"\"Kai\",\"a\",\"b\",\"c\",\"d\""};
  QTest::newRow("unclosed quote") << QByteArrayList{"\"Lou\",\"Lane 3\",\"555"};
  QTest::newRow("words after inner quotes")
      << QByteArrayList{"\"Gus \"the\" Third\"", "\"Hal\"Extra,\"Lane 8\"tail",
                        "\"Eve Open\",\"Lane 5,\"555 0105\",\"\""};
  QTest::newRow("a 1 MB line") << QByteArrayList{QByteArray(1 << 20, 'z')};
}

// A line that is no record takes no fields from its neighbours: every record keeps its own,
// and the odd line is written back as it stands (empty lines, holding nothing, go).
void HostileFilesTest::linesThatAreNoRecord() {
  QFETCH(QByteArrayList, odd);
  Fixture f;
  QByteArrayList lines{record("Cleo"), record("Ann")};
  for (const QByteArray& l : odd) lines.insert(1, l);
  lines << record("Bram");
  test::writeFile(kDataFileName, fileOf(lines));

  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{"Ann", "Bram", "Cleo"}));
  for (int r = 0; r < 3; ++r) {
    QCOMPARE(f.store.table().value(r, 4).toString(), u"tel " + f.names()[r]);
    QCOMPARE(f.store.table().value(r, 5), u"");
  }
  QVERIFY(!f.store.SaveAll());
  const QByteArray saved = test::readFile(kDataFileName);
  const QByteArrayList savedLines = linesOf(saved);
  QCOMPARE(savedLines.mid(0, 3), (QByteArrayList{record("Ann"), record("Bram"), record("Cleo")}));
  for (const QByteArray& l : odd) {
    if (!l.trimmed().isEmpty()) QVERIFY(savedLines.contains(l));
  }
  QVERIFY(keepsEveryWord(fileOf(lines), saved));
  QCOMPARE(f.loadAndSave(), saved);

  // Deleting a record and adding one keep the odd lines too.
  f.store.SortFile();
  QVERIFY(!f.store.SaveRest(1, QString::fromLatin1(record("Dora"))));
  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{"Ann", "Cleo", "Dora"}));
  for (const QByteArray& l : odd) {
    if (!l.trimmed().isEmpty()) QVERIFY(linesOf(test::readFile(kDataFileName)).contains(l));
  }
}

// The table holds 80 characters a field; a rewrite keeps what it did not show, until the
// record itself is edited.
void HostileFilesTest::fieldsLongerThanTheTable() {
  Fixture f;
  QByteArray longName = QByteArray(85, 'n');
  QByteArray longLine = record(longName);
  QByteArray hugeNote = "\"Hugo\"";
  for (int k = 1; k < 13; ++k) hugeNote += ",\"\"";
  hugeNote += ",\"" + QByteArray(1 << 20, 'w') + " end\"";
  test::writeFile(kDataFileName, fileOf({longLine, record("Ann"), hugeNote}));

  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{"Ann", "Hugo", QString(80, QLatin1Char('n'))}));
  QCOMPARE(f.store.table().value(1, 13).size(), 80);
  QVERIFY(!f.store.SaveAll());
  const QByteArray saved = test::readFile(kDataFileName);
  QCOMPARE(saved, fileOf({record("Ann"), hugeNote, longLine}));
  QCOMPARE(f.loadAndSave(), saved);
  // Edited (the row left out and the new line appended), the record is what was typed.
  f.store.SortFile();
  QVERIFY(!f.store.SaveRest(2, QString::fromLatin1(record("Nina"))));
  QCOMPARE(test::readFile(kDataFileName), fileOf({record("Ann"), hugeNote, record("Nina")}));
}

void HostileFilesTest::byteOrderMarkAndOldEncoding() {
  Fixture f;
  test::writeFile(kDataFileName, "\xef\xbb\xbf" + fileOf({record("Zed"), record("Ann")}));
  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{"Ann", "Zed"}));
  const QByteArray saved = f.loadAndSave();
  QCOMPARE(saved, fileOf({record("Ann"), record("Zed")}));
  QCOMPARE(f.loadAndSave(), saved);

  // Windows-1252, an odd line included, comes back as the same text in UTF-8.
  test::writeFile(kDataFileName, fileOf({record("Ren\xe9"), "Zo\xeb, no quotes"}));
  const QByteArray converted = f.loadAndSave();
  QCOMPARE(converted, fileOf({record("Ren\xc3\xa9"), "Zo\xc3\xab, no quotes"}));
  QCOMPARE(f.names(), (QStringList{QStringLiteral("Ren\u00e9")}));
}

// A character past U+FFFF takes two of a slot's 80 places: a field of 41 of them is more than
// the table shows, so its line is kept, and the table never holds half a character.
void HostileFilesTest::charactersOfTwoHalves() {
  Fixture f;
  const QString face = QStringLiteral("\U0001F600");
  const QByteArray faces = face.repeated(41).toUtf8();
  const QByteArray halfway = QByteArray(79, 'h') + face.toUtf8();
  const QByteArray file = fileOf({record(halfway), record(faces)});
  test::writeFile(kDataFileName, file);
  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{QString(79, 'h'), face.repeated(40)}));
  QCOMPARE(f.loadAndSave(), file);

  // Files joined together: the second one's mark starts a line, a line of nothing else.
  test::writeFile(kDataFileName,
                  fileOf({record("Zed"), "\xef\xbb\xbf" + record("Ann"), "\xef\xbb\xbf"}));
  QCOMPARE(f.loadAndSave(), fileOf({record("Ann"), record("Zed")}));
  QCOMPARE(f.names(), (QStringList{"Ann", "Zed"}));
}

// Not a text file, or no file at all: one blank record, the reason, and no save over it.
void HostileFilesTest::filesThatAreRefused() {
  QByteArray random(200 * 1024, Qt::Uninitialized);
  QRandomGenerator gen(20261206);
  for (char& c : random) c = static_cast<char>(gen.bounded(256));
  const QByteArray utf16 =
      QByteArray("\xff\xfe") +
      QByteArray::fromRawData(
          reinterpret_cast<const char*>(QStringLiteral("\"Ann\",\"\"\r\n").utf16()), 22);
  QByteArray utf16NoMark = utf16.mid(2);
  for (int i = 0; i < 20; ++i) utf16NoMark += utf16.mid(2);

  for (const QByteArray& bytes : {random, utf16, utf16NoMark, QByteArray(64, '\0')}) {
    Fixture f;
    test::writeFile(kDataFileName, bytes);
    const RecordStore::LoadResult result = f.store.SortFile();
    QCOMPARE(result.unreadable, QStringLiteral("it is not a text file"));
    QCOMPARE(f.names(), QStringList{QString()});
    const auto error = f.store.SaveAll(QStringLiteral("\"New\""));
    QVERIFY(error);
    QVERIFY(error->reason.contains(u"could not be read"));
    f.store.DataFile = kBackupFileName;  // nor a backup made from the blank table
    QVERIFY(f.store.SaveAll());
    QVERIFY(!QFile::exists(kBackupFileName));
    QCOMPARE(test::readFile(kDataFileName), bytes);
  }

  Fixture f;
  QVERIFY(QDir().mkdir(kDataFileName));
  QCOMPARE(f.store.SortFile().unreadable, QStringLiteral("it is a folder"));
  QVERIFY(f.store.SaveAll());
  QVERIFY(QFileInfo(kDataFileName).isDir());
  QVERIFY(QDir().rmdir(kDataFileName));

  // A pipe would never give an end of file: it is not opened at all.
  QCOMPARE(mkfifo(kDataFileName.toLocal8Bit().constData(), 0600), 0);
  QCOMPARE(f.store.SortFile().unreadable, QStringLiteral("it is not an ordinary file"));
  QVERIFY(f.store.SaveAll());
  QVERIFY(!QFileInfo(kDataFileName).isFile());
  QFile::remove(kDataFileName);

  // Once the file reads again, saving works again.
  test::writeFile(kDataFileName, fileOf({record("Ann")}));
  QVERIFY(f.store.SortFile().unreadable.isEmpty());
  QVERIFY(!f.store.SaveAll());
}

// Write-only and unreadable files.
void HostileFilesTest::filesWithoutPermission() {
  for (const mode_t mode : {mode_t(0200), mode_t(0000)}) {
    Fixture f;
    const QByteArray bytes = fileOf({record("Ann"), record("Bram")});
    test::writeFile(kDataFileName, bytes);
    QCOMPARE(chmod(kDataFileName.toLocal8Bit().constData(), mode), 0);
    QCOMPARE(chmod(QDir::currentPath().toLocal8Bit().constData(), 0777), 0);
    QCOMPARE(chmod(fixedFolder(f.env.configRoot()).toLocal8Bit().constData(), 0777), 0);

    const auto check = [&f]() -> int {
      const RecordStore::LoadResult result = f.store.SortFile();
      if (!result.unreadable.contains(u"Permission denied")) return 1;
      if (f.store.rowCount() != 1 || !f.store.table().value(0, 0).isEmpty()) return 2;
      if (!f.store.SaveAll(QStringLiteral("\"New\""))) return 3;
      return 0;
    };
    QCOMPARE(asUnprivilegedUser(check), 0);
    QCOMPARE(chmod(kDataFileName.toLocal8Bit().constData(), 0600), 0);
    QCOMPARE(test::readFile(kDataFileName), bytes);
  }
}

// A data file that may be read but not written, and one in a folder where nothing may be
// created: the records are shown, and a save fails with its reason, leaving the folder as it
// was.
void HostileFilesTest::readOnlyFileAndFolder() {
  struct Case {
    mode_t file, folder;
    const char* reason;
  };
  for (const Case& c : {Case{0444, 0777, "not writable"},
                        Case{0644, 0555, "no permission to create the lock file"}}) {
    Fixture f;
    const QByteArray bytes = fileOf({record("Ann"), record("Bram")});
    test::writeFile(kDataFileName, bytes);
    QCOMPARE(chmod(kDataFileName.toLocal8Bit().constData(), c.file), 0);
    QCOMPARE(chmod(fixedFolder(f.env.configRoot()).toLocal8Bit().constData(), 0777), 0);
    QCOMPARE(chmod(QDir::currentPath().toLocal8Bit().constData(), c.folder), 0);
    const QStringList entries = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const auto check = [&f, &c, &entries]() -> int {
      const RecordStore::LoadResult result = f.store.SortFile();
      if (!result.unreadable.isEmpty() || f.names() != QStringList({"Ann", "Bram"})) return 1;
      for (int row : {-1, 0}) {
        const auto error =
            row < 0 ? f.store.SaveAll(QStringLiteral("\"New\"")) : f.store.SaveRest(row);
        if (!error || error->fileName != kDataFileName) return 2;
        if (!error->reason.contains(QLatin1String(c.reason))) {
          std::fprintf(stderr, "%s\n", qPrintable(error->reason));
          return 3;
        }
      }
      if (QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot) != entries) return 4;
      return 0;
    };
    const int result = asUnprivilegedUser(check);
    QCOMPARE(chmod(QDir::currentPath().toLocal8Bit().constData(), 0700), 0);
    QCOMPARE(result, 0);
    QCOMPARE(test::readFile(kDataFileName), bytes);
  }
}

// A full disk names its reason, and the old file stays whole.
void HostileFilesTest::fullDisk() {
  Fixture f;
  const QString small = f.env.workPath(QStringLiteral("small"));
  QVERIFY(QDir().mkdir(small));
  if (mount("tmpfs", small.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0) {
    QSKIP("mounting a small file system needs root");
  }
  const QString target = small + QStringLiteral("/TAVELIN.FIL");
  const QByteArray old = fileOf({record("Old")});
  test::writeFile(target, old);

  QByteArrayList lines;
  for (int i = 0; i < 2000; ++i) lines << record("Name " + QByteArray::number(i));
  test::writeFile(kDataFileName, fileOf(lines));
  f.store.SortFile();
  f.store.DataFile = target;
  const auto error = f.store.SaveAll();
  const QByteArray after = test::readFile(target);
  const QStringList left = QDir(small).entryList(QDir::Files);
  umount(small.toLocal8Bit().constData());
  QVERIFY(error);
  QCOMPARE(error->reason, QStringLiteral("No space left on device"));
  QCOMPARE(after, old);
  QCOMPARE(left, QStringList{"TAVELIN.FIL"});  // no temporary file left behind
}

// Files made of the pieces that break readers: every one loads and saves without losing a
// word, and saves to the same bytes from the second save on; or it is refused and left as
// it was.
void HostileFilesTest::randomFilesLoseNothing() {
  const QByteArrayList pieces{"\"",
                              ",",
                              " ",
                              "Ann",
                              "x y",
                              "\r",
                              "\n",
                              "\r\n",
                              "\r\n",
                              "\t",
                              QByteArray(1, '\0'),
                              "\xff",
                              "\xc3\xa9",
                              record("Rec"),
                              record("rec"),
                              QByteArray(90, 'q')};
  QRandomGenerator gen(14);
  for (int round = 0; round < 400; ++round) {
    QByteArray bytes = gen.bounded(20) == 0 ? QByteArray("\xef\xbb\xbf") : QByteArray();
    const int count = static_cast<int>(gen.bounded(40));
    for (int i = 0; i < count; ++i)
      bytes += pieces[static_cast<qsizetype>(gen.bounded(pieces.size()))];

    Fixture f;
    test::writeFile(kDataFileName, bytes);
    const RecordStore::LoadResult result = f.store.SortFile();
    if (!result.unreadable.isEmpty()) {
      QVERIFY(f.store.SaveAll());
      QCOMPARE(test::readFile(kDataFileName), bytes);
      continue;
    }
    QVERIFY(!f.store.SaveAll());
    const QByteArray first = test::readFile(kDataFileName);
    QVERIFY2(keepsEveryWord(bytes, first), bytes.toHex().constData());
    // The first save writes the records in the writer's form; from then on nothing changes.
    const QByteArray second = f.loadAndSave();
    QCOMPARE(wordsOf(second), wordsOf(first));
    QVERIFY2(f.loadAndSave() == second, bytes.toHex().constData());
  }
}

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "test_hostile_files.moc"
