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
// then it runs in a child process as the unprivileged user, and its failures end it.
void asUnprivilegedUser(const std::function<void()>& check) {
  if (geteuid() != 0) return check();
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(9);
    check();
    std::fflush(stdout);
    _exit(QTest::currentTestFailed() ? 1 : 0);
  }
  int status = 0;
  QVERIFY(waitpid(child, &status, 0) == child && WIFEXITED(status));
  QCOMPARE(WEXITSTATUS(status), 0);
}

int chmodPath(const QString& path, mode_t mode) {
  return chmod(path.toLocal8Bit().constData(), mode);
}

}  // namespace

enum class Made { File, Folder, Pipe };
Q_DECLARE_METATYPE(Made)

class HostileFilesTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  // Files that once made the line splitter read past the end of the bytes, or reach memchr and
  // memcpy with no buffer, then files made of the pieces that break readers: every one loads and
  // saves without losing a word, and saves to the same bytes from the second save on (the first
  // ones from the first save on); or it is refused and left as it was.
  void filesLoseNothing() {
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
        QVERIFY(!f.store.SaveAll());
        QCOMPARE(readFile(kDataFileName), bytes);
        continue;
      }
      QVERIFY2(f.store.SaveAll(), hex.constData());
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
    QVERIFY(f.store.SaveRest(0));
    QCOMPARE(readFile(kDataFileName), commas + "\r\n");
  }

  void loadsAndSavesAs_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArray>("saved");  // by the first save and every one after it

    // A line that is no record takes no fields from its neighbours: every record keeps its own,
    // and the odd line is written back as it stands (empty lines, holding nothing, go).
    const auto oddLines = [](const char* tag, const QByteArrayList& odd) {
      QByteArrayList kept;
      for (const QByteArray& l : odd) {
        if (!l.trimmed().isEmpty()) kept << l;
      }
      QTest::newRow(tag) << fileOf(QByteArrayList{rec("Cleo")} + odd +
                                   QByteArrayList{rec("Ann"), rec("Bram")})
                         << QStringList{"Ann", "Bram", "Cleo"}
                         << fileOf(QByteArrayList{rec("Ann"), rec("Bram"), rec("Cleo")} + kept);
    };
    oddLines("empty lines", {"", "", "   "});
    oddLines("NUL bytes", {QByteArray(300, '\0')});
    QByteArray twenty = "\"Aaron\"";
    for (int k = 1; k < 20; ++k) twenty += ",\"f" + QByteArray::number(k) + "\"";
    oddLines("twenty fields sorting first", {twenty});
    oddLines("fifteen fields", {"\"Kai\"" + QByteArray(",\"a\"").repeated(14)});
    oddLines("unclosed quote", {"\"Lou\",\"Lane 3\",\"555"});
    oddLines("words after inner quotes", {"\"Eve Open\",\"Lane 5,\"555 0105\",\"\"",
                                          "\"Gus \"the\" Third\"", "\"Hal\"Extra,\"Lane 8\"tail"});
    oddLines("a 1 MB line", {QByteArray(1 << 20, 'z') + "\"z"});

    // A line of fewer fields, typed by hand or cut off, is a record: the fields it lacks are
    // empty, and the rewrite writes all fourteen. So is the last line, without its line end.
    const QByteArray jose =
        "\"Jos\xc3\xa9 Pe\xc3\xb1"
        "a\"";
    const QByteArray ned = "\"Ned Plain\",\"Lane 14\",\"\",\"\",\"555 0114\"";
    const QByteArray empties = QByteArray(",\"\"").repeated(9);
    QTest::newRow("short lines") << fileOf({rec("Cleo"), "\"Ida Single\"", rec("Ann"),
                                            "Ned Plain , Lane 14,, ,555 0114"}) +
                                        jose + ",\"Calle 1\""
                                 << QStringList{"Ann", "Cleo", "Ida Single",
                                                QStringLiteral("Jos\u00e9 Pe\u00f1a"), "Ned Plain"}
                                 << fileOf({rec("Ann"), rec("Cleo"), record("Ida Single"),
                                            record(jose.mid(1).chopped(1), 1, "Calle 1"),
                                            ned + empties});

    const QByteArray mark = "\xef\xbb\xbf";
    QTest::newRow("byte-order mark")
        << mark + fileOf({rec("Zed"), rec("Ann")}) << QStringList{"Ann", "Zed"}
        << fileOf({rec("Ann"), rec("Zed")});
    // Files joined together: the second one's mark starts a line, a line of nothing else.
    QTest::newRow("joined files") << fileOf({rec("Zed"), mark + rec("Ann"), mark})
                                  << QStringList{"Ann", "Zed"} << fileOf({rec("Ann"), rec("Zed")});
    // Windows-1252, an odd line included, comes back as the same text in UTF-8.
    QTest::newRow("Windows-1252") << fileOf({rec("Ren\xe9"), "Zo\xeb, \"no\" quotes"})
                                  << QStringList{QStringLiteral("Ren\u00e9")}
                                  << fileOf({rec("Ren\xc3\xa9"), "Zo\xc3\xab, \"no\" quotes"});
    // The table holds 80 characters a field, not bytes; a rewrite keeps what it did not show.
    const QByteArray longName = rec(QString(85, QChar(0xe9)).toUtf8());
    const QByteArray hugeName = rec(QByteArray(1 << 20, 'w') + " end");
    QTest::newRow("fields past 80 characters")
        << fileOf({longName, rec("Ann"), hugeName})
        << QStringList{"Ann", QString(80, QLatin1Char('w')), QString(80, QChar(0xe9))}
        << fileOf({rec("Ann"), hugeName, longName});
    // A character past U+FFFF takes two of a slot's 80 places: a field of 41 of them is more
    // than the table shows, so its line is kept, and the table never holds half a character.
    const QString face = QStringLiteral("\U0001F600");
    const QByteArray halves =
        fileOf({rec(QByteArray(79, 'h') + face.toUtf8()), rec(face.repeated(41).toUtf8())});
    QTest::newRow("characters of two halves")
        << halves << QStringList{QString(79, 'h'), face.repeated(40)} << halves;
  }

  void loadsAndSavesAs() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, names);
    QFETCH(QByteArray, saved);
    StoreFixture f;
    writeFile(kDataFileName, file);
    f.store.SortFile();
    QCOMPARE(f.names(), names);
    QVERIFY(f.store.SaveAll());
    QCOMPARE(readFile(kDataFileName), saved);
    QCOMPARE(f.loadAndSave(), saved);
    QCOMPARE(f.names(), names);

    // An edit (the first row left out, the typed record appended) keeps every other line; the
    // line of the record edited goes, even one kept as it stood.
    QVERIFY(f.store.SaveRest(0, rec("Dora")));
    QByteArrayList left = linesOf(saved);
    int added = 0;
    for (const QByteArray& l : linesOf(readFile(kDataFileName))) {
      if (left.removeOne(l)) continue;
      QCOMPARE(l, rec("Dora"));
      ++added;
    }
    QCOMPARE(added, 1);
    QCOMPARE(left.size(), 1);
    QVERIFY(left[0].startsWith(QByteArray('"' + names[0].toUtf8())));
  }

  void refusedFilesAndSaves_data() {
    QTest::addColumn<Made>("made");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<QString>("unreadable");  // why the load refuses the file
    QTest::addColumn<QString>("unwritable");  // else why a save fails

    const QString notText = QStringLiteral("it is not a text file");
    QByteArray random(200 * 1024, Qt::Uninitialized);
    QRandomGenerator gen(20261206);
    for (char& c : random) c = static_cast<char>(gen.bounded(256));
    const QString line = QStringLiteral("\"Ann\",\"\"\r\n");
    const QByteArray utf16(reinterpret_cast<const char*>(line.utf16()), line.size() * 2);
    const QByteArray records = fileOf({rec("Ann"), rec("Bram")});
    const auto row = [](const char* tag, Made made, const QByteArray& bytes, int fileMode,
                        const QString& unreadable, const QString& unwritable = {},
                        int folderMode = 0777) {
      QTest::newRow(tag) << made << bytes << fileMode << folderMode << unreadable << unwritable;
    };
    row("random bytes", Made::File, random, 0644, notText);
    row("UTF-16", Made::File, "\xff\xfe" + utf16, 0644, notText);
    row("UTF-16 without mark", Made::File, utf16.repeated(21), 0644, notText);
    row("NUL bytes", Made::File, QByteArray(64, '\0'), 0644, notText);
    row("folder", Made::Folder, {}, 0755, u"it is a folder"_qs);
    // A pipe would never give an end of file: it is not opened at all.
    row("pipe", Made::Pipe, {}, 0600, u"it is not an ordinary file"_qs);
    const QString denied = QStringLiteral("Permission denied");
    row("write-only file", Made::File, records, 0200, denied);
    row("unreadable file", Made::File, records, 0000, denied);
    row("read-only file", Made::File, records, 0444, {}, u"not writable"_qs);
    row("read-only folder", Made::File, records, 0644, {},
        u"no permission to create the lock file"_qs, 0555);
  }

  // A file that cannot be read loads as one blank record, the reason said, and no save writes
  // over it, nor a backup made from the blank table; once it reads again, saving works again.
  // One that may be read but not written, or lies in a folder where nothing may be created,
  // shows its records, and a save fails with its reason. The folder stays as it was.
  void refusedFilesAndSaves() {
    QFETCH(Made, made);
    QFETCH(QByteArray, bytes);
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QFETCH(QString, unreadable);
    QFETCH(QString, unwritable);
    StoreFixture f;
    if (made == Made::File) writeFile(kDataFileName, bytes);
    if (made == Made::Folder) QVERIFY(QDir().mkdir(kDataFileName));
    if (made == Made::Pipe) QCOMPARE(mkfifo(kDataFileName.toLocal8Bit().constData(), 0600), 0);
    QCOMPARE(chmodPath(kDataFileName, mode_t(fileMode)), 0);
    QCOMPARE(chmodPath(fixedFolder(f.env.configRoot()), 0777), 0);
    QCOMPARE(chmodPath(QDir::currentPath(), mode_t(folderMode)), 0);
    const QStringList entries = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    asUnprivilegedUser([&] {
      QCOMPARE(f.store.SortFile().unreadable, unreadable);
      if (!unreadable.isEmpty()) {
        QCOMPARE(f.names(), QStringList{QString()});
        const SaveResult saved = f.store.SaveAll(QStringLiteral("\"New\""));
        QVERIFY(!saved && saved.error().reason.contains(u"could not be read"));
        QVERIFY(!f.store.WriteBackup(kBackupFileName));
        QVERIFY(!QFile::exists(kBackupFileName));
      } else {
        QCOMPARE(f.names(), (QStringList{"Ann", "Bram"}));
        for (int row : {-1, 0}) {
          const SaveResult saved =
              row < 0 ? f.store.SaveAll(QStringLiteral("\"New\"")) : f.store.SaveRest(row);
          QVERIFY(!saved);
          QCOMPARE(saved.error().fileName, kDataFileName);
          QVERIFY2(saved.error().reason.contains(unwritable), qPrintable(saved.error().reason));
        }
      }
      QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);
    });
    QCOMPARE(chmodPath(QDir::currentPath(), 0700), 0);
    QCOMPARE(chmodPath(kDataFileName, 0600), 0);
    const QFileInfo info(kDataFileName);
    if (made == Made::File) QCOMPARE(readFile(kDataFileName), bytes);
    QCOMPARE(info.isDir(), made == Made::Folder);
    QCOMPARE(info.isFile(), made == Made::File);

    QVERIFY(made == Made::Folder ? QDir().rmdir(kDataFileName) : QFile::remove(kDataFileName));
    writeFile(kDataFileName, fileOf({rec("Ann")}));
    QVERIFY(f.store.SortFile().unreadable.isEmpty());
    QVERIFY(f.store.SaveAll());
  }

  // A full disk names its reason, and the old file stays whole.
  void fullDisk() {
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
    const SaveResult saved = f.store.WriteBackup(target);
    const QByteArray after = readFile(target);
    const QStringList left = QDir(small).entryList(QDir::Files);
    umount(small.toLocal8Bit().constData());
    QVERIFY(!saved);
    QCOMPARE(saved.error().reason, QStringLiteral("No space left on device"));
    QCOMPARE(after, old);
    QCOMPARE(left, QStringList{"TAVELIN.FIL"});  // no temporary file left behind
  }
};

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "test_hostile_files.moc"
