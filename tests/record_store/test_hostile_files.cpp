// Data files as users end up with them: hand-edited, copied from elsewhere, damaged. A save
// never loses a line or a word the file held, and a file that cannot be read is never replaced.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "record_store/text_codec.h"
#include "store_files.h"

using namespace tavelin;
using namespace tavelin::test;

namespace {

// A record whose first phone is "tel <name>", so that a shift of fields shows.
QByteArray rec(const QByteArray& name) {
  return record(name, 4, "tel " + name);
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

int chmodPath(const QString& path, mode_t mode) {
  return chmod(path.toLocal8Bit().constData(), mode);
}

}  // namespace

class HostileFilesTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void filesLoseNothing();
  void linesThatAreNoRecord_data();
  void linesThatAreNoRecord();
  void loadsAndSavesAs_data();
  void loadsAndSavesAs();
  void fieldsLongerThanTheTable();
  void filesThatAreRefused_data();
  void filesThatAreRefused();
  void permissions_data();
  void permissions();
  void fullDisk();
};

// Files that once made the line splitter read past the end of the bytes, or reach memchr and
// memcpy with no buffer, then files made of the pieces that break readers: every one loads and
// saves without losing a word, and saves to the same bytes from the second save on (the first
// ones from the first save on); or it is refused and left as it was.
void HostileFilesTest::filesLoseNothing() {
  QCOMPARE(splitLines(QByteArrayView("\r")).size(), size_t(1));
  QCOMPARE(splitLines(QByteArrayView("a\r")).size(), size_t(1));
  QCOMPARE(splitLines(QByteArrayView("a\r\r\nb")).size(), size_t(3));
  QCOMPARE(splitLines(QByteArrayView()).size(), size_t(0));

  const QByteArray commas(28, ',');
  QByteArrayList fixed{"\r", "x\r", "\r\r", "\r\n", "", commas};
  fixed << commas + "\r\n" + rec("Ann") << "\r\n" + rec("Bo") + "\r\n\r\n" << rec("Cy") + "\r";
  QByteArrayList pieces{"\"", ",", " ", "Ann", "x y", "\r", "\n", "\r\n", "\r\n", "\t"};
  pieces << QByteArray(1, '\0') << "\xff"
         << "\xc3\xa9" << rec("Rec") << rec("rec") << QByteArray(90, 'q');
  QRandomGenerator gen(14);
  for (int round = 0; round < fixed.size() + 400; ++round) {
    const bool isFixed = round < fixed.size();
    QByteArray bytes = isFixed ? fixed[round] : QByteArray();
    if (!isFixed) {
      if (gen.bounded(20) == 0) bytes = "\xef\xbb\xbf";
      for (int i = 0, n = int(gen.bounded(40)); i < n; ++i)
        bytes += pieces[gen.bounded(pieces.size())];
    }
    const QByteArray hex = bytes.toHex();
    StoreFixture f;
    writeFile(kDataFileName, bytes);
    if (!f.store.SortFile().unreadable.isEmpty()) {
      QVERIFY2(!isFixed, hex.constData());
      QVERIFY(f.store.SaveAll());
      QCOMPARE(readFile(kDataFileName), bytes);
      continue;
    }
    QVERIFY2(!f.store.SaveAll(), hex.constData());
    const QByteArray first = readFile(kDataFileName);
    QVERIFY2(keepsEveryWord(bytes, first), hex.constData());
    // The first save writes the records in the writer's form; from then on nothing changes.
    const QByteArray second = f.loadAndSave();
    QVERIFY2(isFixed ? second == first : wordsOf(second) == wordsOf(first), hex.constData());
    QVERIFY2(f.loadAndSave() == second, hex.constData());
  }
  // The line of commas is no record: it is kept whole, beside the one blank record.
  StoreFixture f;
  writeFile(kDataFileName, commas);
  f.store.SortFile();
  QCOMPARE(f.names(), QStringList{QString()});
  QVERIFY(!f.store.SaveRest(0));
  QCOMPARE(readFile(kDataFileName), commas + "\r\n");
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
  StoreFixture f;
  QByteArrayList lines{rec("Cleo"), rec("Ann")};
  for (const QByteArray& l : odd) lines.insert(1, l);
  lines << rec("Bram");
  writeFile(kDataFileName, fileOf(lines));
  const auto keepsOdd = [&odd](const QByteArrayList& saved) {
    return std::all_of(odd.begin(), odd.end(), [&saved](const QByteArray& l) {
      return l.trimmed().isEmpty() || saved.contains(l);
    });
  };

  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{"Ann", "Bram", "Cleo"}));
  for (int r = 0; r < 3; ++r) {
    QCOMPARE(f.store.table().value(r, 4).toString(), u"tel " + f.names()[r]);
    QCOMPARE(f.store.table().value(r, 5), u"");
  }
  QVERIFY(!f.store.SaveAll());
  const QByteArray saved = readFile(kDataFileName);
  QCOMPARE(linesOf(saved).mid(0, 3), (QByteArrayList{rec("Ann"), rec("Bram"), rec("Cleo")}));
  QVERIFY(keepsOdd(linesOf(saved)));
  QVERIFY(keepsEveryWord(fileOf(lines), saved));
  QCOMPARE(f.loadAndSave(), saved);

  // Deleting a record and adding one keep the odd lines too.
  f.store.SortFile();
  QVERIFY(!f.store.SaveRest(1, rec("Dora")));
  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{"Ann", "Cleo", "Dora"}));
  QVERIFY(keepsOdd(linesOf(readFile(kDataFileName))));
}

void HostileFilesTest::loadsAndSavesAs_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QByteArray>("saved");  // by the first save and every one after it

  const QByteArray mark = "\xef\xbb\xbf";
  QTest::newRow("byte-order mark") << mark + fileOf({rec("Zed"), rec("Ann")})
                                   << QStringList{"Ann", "Zed"} << fileOf({rec("Ann"), rec("Zed")});
  // Files joined together: the second one's mark starts a line, a line of nothing else.
  QTest::newRow("joined files") << fileOf({rec("Zed"), mark + rec("Ann"), mark})
                                << QStringList{"Ann", "Zed"} << fileOf({rec("Ann"), rec("Zed")});
  // Windows-1252, an odd line included, comes back as the same text in UTF-8.
  QTest::newRow("Windows-1252") << fileOf({rec("Ren\xe9"), "Zo\xeb, no quotes"})
                                << QStringList{QStringLiteral("Ren\u00e9")}
                                << fileOf({rec("Ren\xc3\xa9"), "Zo\xc3\xab, no quotes"});
  // A character past U+FFFF takes two of a slot's 80 places: a field of 41 of them is more
  // than the table shows, so its line is kept, and the table never holds half a character.
  const QString face = QStringLiteral("\U0001F600");
  const QByteArray halves =
      fileOf({rec(QByteArray(79, 'h') + face.toUtf8()), rec(face.repeated(41).toUtf8())});
  QTest::newRow("characters of two halves")
      << halves << QStringList{QString(79, 'h'), face.repeated(40)} << halves;
}

void HostileFilesTest::loadsAndSavesAs() {
  QFETCH(QByteArray, file);
  QFETCH(QStringList, names);
  QFETCH(QByteArray, saved);
  StoreFixture f;
  writeFile(kDataFileName, file);
  f.store.SortFile();
  QCOMPARE(f.names(), names);
  QVERIFY(!f.store.SaveAll());
  QCOMPARE(readFile(kDataFileName), saved);
  QCOMPARE(f.loadAndSave(), saved);
  QCOMPARE(f.names(), names);
}

// The table holds 80 characters a field, not bytes; a rewrite keeps what it did not show,
// until the record itself is edited.
void HostileFilesTest::fieldsLongerThanTheTable() {
  StoreFixture f;
  const QByteArray longLine = rec(QString(85, QChar(0xe9)).toUtf8());
  const QByteArray hugeNote = record("Hugo", 13, QByteArray(1 << 20, 'w') + " end");
  writeFile(kDataFileName, fileOf({longLine, rec("Ann"), hugeNote}));

  f.store.SortFile();
  QCOMPARE(f.names(), (QStringList{"Ann", "Hugo", QString(80, QChar(0xe9))}));
  QCOMPARE(f.store.table().value(1, 13).size(), 80);
  QVERIFY(!f.store.SaveAll());
  const QByteArray saved = readFile(kDataFileName);
  QCOMPARE(saved, fileOf({rec("Ann"), hugeNote, longLine}));
  QCOMPARE(f.loadAndSave(), saved);
  // Edited (the row left out and the new line appended), the record is what was typed.
  f.store.SortFile();
  QVERIFY(!f.store.SaveRest(2, rec("Nina")));
  QCOMPARE(readFile(kDataFileName), fileOf({rec("Ann"), hugeNote, rec("Nina")}));
}

enum class Made { File, Folder, Pipe };
Q_DECLARE_METATYPE(Made)

void HostileFilesTest::filesThatAreRefused_data() {
  QTest::addColumn<Made>("made");
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("reason");

  const QString notText = QStringLiteral("it is not a text file");
  QByteArray random(200 * 1024, Qt::Uninitialized);
  QRandomGenerator gen(20261206);
  for (char& c : random) c = static_cast<char>(gen.bounded(256));
  const QString line = QStringLiteral("\"Ann\",\"\"\r\n");
  const QByteArray utf16(reinterpret_cast<const char*>(line.utf16()), line.size() * 2);
  QTest::newRow("random bytes") << Made::File << random << notText;
  QTest::newRow("UTF-16") << Made::File << "\xff\xfe" + utf16 << notText;
  QTest::newRow("UTF-16 without mark") << Made::File << utf16.repeated(21) << notText;
  QTest::newRow("NUL bytes") << Made::File << QByteArray(64, '\0') << notText;
  QTest::newRow("folder") << Made::Folder << QByteArray() << QStringLiteral("it is a folder");
  // A pipe would never give an end of file: it is not opened at all.
  QTest::newRow("pipe") << Made::Pipe << QByteArray()
                        << QStringLiteral("it is not an ordinary file");
}

// Not a text file, or no file at all: one blank record, the reason, and no save over it, nor a
// backup made from the blank table. Once the file reads again, saving works again.
void HostileFilesTest::filesThatAreRefused() {
  QFETCH(Made, made);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, reason);
  StoreFixture f;
  if (made == Made::File) writeFile(kDataFileName, bytes);
  if (made == Made::Folder) QVERIFY(QDir().mkdir(kDataFileName));
  if (made == Made::Pipe) QCOMPARE(mkfifo(kDataFileName.toLocal8Bit().constData(), 0600), 0);

  QCOMPARE(f.store.SortFile().unreadable, reason);
  QCOMPARE(f.names(), QStringList{QString()});
  const auto error = f.store.SaveAll(QStringLiteral("\"New\""));
  QVERIFY(error);
  if (made == Made::File) QVERIFY(error->reason.contains(u"could not be read"));
  f.store.DataFile = kBackupFileName;
  QVERIFY(f.store.SaveAll());
  QVERIFY(!QFile::exists(kBackupFileName));
  const QFileInfo info(kDataFileName);
  if (made == Made::File) QCOMPARE(readFile(kDataFileName), bytes);
  QCOMPARE(info.isDir(), made == Made::Folder);
  QCOMPARE(info.isFile(), made == Made::File);

  QVERIFY(made == Made::Folder ? QDir().rmdir(kDataFileName) : QFile::remove(kDataFileName));
  writeFile(kDataFileName, fileOf({rec("Ann")}));
  f.store.DataFile = kDataFileName;
  QVERIFY(f.store.SortFile().unreadable.isEmpty());
  QVERIFY(!f.store.SaveAll());
}

void HostileFilesTest::permissions_data() {
  QTest::addColumn<int>("fileMode");
  QTest::addColumn<int>("folderMode");
  QTest::addColumn<QString>("reason");  // of the failed save; empty when the load fails

  QTest::newRow("write-only file") << 0200 << 0777 << QString();
  QTest::newRow("unreadable file") << 0000 << 0777 << QString();
  QTest::newRow("read-only file") << 0444 << 0777 << QStringLiteral("not writable");
  QTest::newRow("read-only folder")
      << 0644 << 0555 << QStringLiteral("no permission to create the lock file");
}

// A file that may not be read loads as one blank record, the reason said, and no save writes
// over it. One that may be read but not written, or lies in a folder where nothing may be
// created, shows its records, and a save fails with its reason. The folder stays as it was.
void HostileFilesTest::permissions() {
  QFETCH(int, fileMode);
  QFETCH(int, folderMode);
  QFETCH(QString, reason);
  StoreFixture f;
  const QByteArray bytes = fileOf({rec("Ann"), rec("Bram")});
  writeFile(kDataFileName, bytes);
  QCOMPARE(chmodPath(kDataFileName, mode_t(fileMode)), 0);
  QCOMPARE(chmodPath(fixedFolder(f.env.configRoot()), 0777), 0);
  QCOMPARE(chmodPath(QDir::currentPath(), mode_t(folderMode)), 0);
  const QStringList entries = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

  const auto check = [&f, &reason, &entries]() -> int {
    const RecordStore::LoadResult result = f.store.SortFile();
    if (reason.isEmpty()) {
      if (!result.unreadable.contains(u"Permission denied")) return 1;
      if (f.names() != QStringList{QString()}) return 2;
      if (!f.store.SaveAll(QStringLiteral("\"New\""))) return 3;
    } else {
      if (!result.unreadable.isEmpty() || f.names() != QStringList({"Ann", "Bram"})) return 4;
      for (int row : {-1, 0}) {
        const auto error =
            row < 0 ? f.store.SaveAll(QStringLiteral("\"New\"")) : f.store.SaveRest(row);
        if (!error || error->fileName != kDataFileName) return 5;
        if (!error->reason.contains(reason)) {
          std::fprintf(stderr, "%s\n", qPrintable(error->reason));
          return 6;
        }
      }
    }
    return QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot) == entries ? 0 : 7;
  };
  const int result = asUnprivilegedUser(check);
  QCOMPARE(chmodPath(QDir::currentPath(), 0700), 0);
  QCOMPARE(chmodPath(kDataFileName, 0600), 0);
  QCOMPARE(result, 0);
  QCOMPARE(readFile(kDataFileName), bytes);
}

// A full disk names its reason, and the old file stays whole.
void HostileFilesTest::fullDisk() {
  StoreFixture f;
  const QString small = f.env.workPath(QStringLiteral("small"));
  QVERIFY(QDir().mkdir(small));
  if (mount("tmpfs", small.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0) {
    QSKIP("mounting a small file system needs root");
  }
  const QString target = small + QStringLiteral("/TAVELIN.FIL");
  const QByteArray old = fileOf({rec("Old")});
  writeFile(target, old);
  QByteArrayList lines;
  for (int i = 0; i < 2000; ++i) lines << rec("Name " + QByteArray::number(i));
  writeFile(kDataFileName, fileOf(lines));
  f.store.SortFile();
  f.store.DataFile = target;
  const auto error = f.store.SaveAll();
  const QByteArray after = readFile(target);
  const QStringList left = QDir(small).entryList(QDir::Files);
  umount(small.toLocal8Bit().constData());
  QVERIFY(error);
  QCOMPARE(error->reason, QStringLiteral("No space left on device"));
  QCOMPARE(after, old);
  QCOMPARE(left, QStringList{"TAVELIN.FIL"});  // no temporary file left behind
}

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "test_hostile_files.moc"
