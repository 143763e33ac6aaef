// Several copies of the program on one data file: every copy's update survives the others. A
// change set of many lines is one save: applied whole to the file as this copy loaded it, or
// to the file as another copy left it, and told to the listener exactly as it was applied.
#include <QLockFile>
#include <QProcess>
#include <QTest>

#include "store_files.h"

using namespace tavelin;
using namespace tavelin::test;

namespace {

// Keeps every set it is told of, and whether the data file's lock was held meanwhile.
class Recorder final : public ChangeListener {
 public:
  void changesApplied(const ChangeSet& applied) override {
    told.push_back(applied);
    QLockFile lock(RecordStore::lockFilePath(kDataFileName));
    underLock = underLock && !lock.tryLock(0);
  }
  std::vector<ChangeSet> told;
  bool underLock = true;
};

// A set written as "-Name" (removed), "Name>Name: phone" (replaced), "+Name: phone" (added).
ChangeSet setOf(const QStringList& changes) {
  ChangeSet set;
  for (const QString& change : changes) {
    const QString what = change.mid(1);
    if (change.startsWith(u'-')) {
      set.removed << recordLine(what);
    } else if (change.startsWith(u'+')) {
      set.added << recordLine(what);
    } else {
      const QStringList pair = change.split(u'>');
      set.replaced << ChangeSet::Replacement{recordLine(pair[0]), recordLine(pair[1])};
    }
  }
  return set;
}

// Two copies, each with its own work file, on the data file of one folder.
struct TwoCopies {
  TestEnvironment env;
  RecordStore a{env.configRoot() + u"/a.tmp"_qs};
  RecordStore b{env.configRoot() + u"/b.tmp"_qs};

  explicit TwoCopies(const QStringList& names) {
    writeRecords(names);
    a.SortFile();
    b.SortFile();
  }
};

}  // namespace

class ChangeSetTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void appliedInOneSave_data() {
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QStringList>("other");  // the other copy's set, saved first; none: no other
    QTest::addColumn<QStringList>("mine");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("applied");  // what the listener is told, in the same notation

    const auto row = [](const char* tag, const char* start, const char* other, const char* mine,
                        const char* records, const char* applied) {
      QTest::newRow(tag) << listOf(start) << listOf(other) << listOf(mine) << listOf(records)
                         << listOf(applied);
    };
    const char* four = "Ann|Bram|Cleo|Dora";
    row("file as loaded", four, "", "-Ann|Cleo>Cleo: 3|+Eva|+Finn: 6|-Dora",
        "Bram|Cleo: 3|Eva|Finn: 6", "-Ann|-Dora|Cleo>Cleo: 3|+Eva|+Finn: 6");
    row("both removed", four, "-Bram", "-Bram|-Cleo|Dora>Dora: 4|+Eva", "Ann|Dora: 4|Eva",
        "-Cleo|Dora>Dora: 4|+Eva");
    row("replaced what the other removed", four, "-Bram|+Gus", "Bram>Bram: 2|-Ann",
        "Bram: 2|Cleo|Dora|Gus", "-Ann|+Bram: 2");
    row("removed what the other replaced", four, "Bram>Bram: 9", "-Bram|-Dora", "Ann|Bram: 9|Cleo",
        "-Dora");
    row("both replaced one", four, "Cleo>Cleo: 1", "Cleo>Cleo: 2|Ann>Anna",
        "Anna|Bram|Cleo: 1|Cleo: 2|Dora", "Ann>Anna|+Cleo: 2");
    row("both added the same line", four, "+Eva|-Ann", "+Eva|+Finn", "Bram|Cleo|Dora|Eva|Eva|Finn",
        "+Eva|+Finn");
    row("into no file", "", "+Ann", "+Bram|-Cleo", "Ann|Bram", "+Bram");
  }

  void appliedInOneSave() {
    QFETCH(QStringList, start);
    QFETCH(QStringList, other);
    QFETCH(QStringList, mine);
    QFETCH(QStringList, applied);
    TwoCopies c(start);
    if (!other.isEmpty()) QVERIFY(c.b.Apply(setOf(other)));

    Recorder recorder;
    c.a.setChangeListener(&recorder);
    FailingStep counter;
    const SaveResult saved = c.a.Apply(setOf(mine));
    QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().reason));
    QCOMPARE(counter.renames, 1);
    QTEST(fileRecords(c.env), "records");
    QCOMPARE(recorder.told, std::vector<ChangeSet>{setOf(applied)});
    QVERIFY(recorder.underLock);
    // One reload shows all of it.
    c.a.SortFile();
    QTEST(recordsOf(c.a), "records");
  }

  // Lines that are no record are taken out like records; of two equal lines, one goes.
  void keptLinesAndTwins() {
    const QString ann = lineOf("Ann"), bram = lineOf("Bram"), note = u"\"a note"_qs;
    const ChangeSet set{{}, {{bram, lineOf("Bram", "2")}}, {ann, note}};
    for (const bool otherSaved : {false, true}) {
      TestEnvironment env;
      writeFile(kDataFileName, fileOf({ann.toUtf8(), note.toUtf8(), bram.toUtf8(), ann.toUtf8()}));
      RecordStore a(env.configRoot() + u"/a.tmp"_qs);
      a.SortFile();
      if (otherSaved) {
        RecordStore b(env.configRoot() + u"/b.tmp"_qs);
        b.SortFile();
        QVERIFY(b.SaveAll(lineOf("Cleo")));
      }
      Recorder recorder;
      a.setChangeListener(&recorder);
      QVERIFY(a.Apply(set));
      QByteArrayList lines{ann.toUtf8()};
      if (otherSaved) lines << lineOf("Cleo");
      lines << lineOf("Bram", "2");
      QCOMPARE(readFile(kDataFileName), fileOf(lines));
      QCOMPARE(recorder.told, std::vector<ChangeSet>{set});
    }
  }

  // A save that fails, at the write or at the lock, tells the listener nothing and changes
  // nothing; the next one that succeeds is told once.
  void failedSaveTellsNothing() {
    TestEnvironment env;
    const QByteArray before = fileOf({lineOf("Ann")});
    writeFile(kDataFileName, before);
    RecordStore store(env.configRoot() + u"/a.tmp"_qs);
    store.SortFile();
    Recorder recorder;
    store.setChangeListener(&recorder);
    const ChangeSet set = setOf({"-Ann", "+Bram"});
    {
      FailingStep failing(WriteStep::Rename);
      const SaveResult saved = store.Apply(set);
      QVERIFY(!saved && saved.failed());
      QCOMPARE(saved.error().reason, u"Input/output error"_qs);
    }
    {
      QLockFile other(RecordStore::lockFilePath(kDataFileName));
      QVERIFY(other.tryLock(0));
      store.setLockWaitMs(0);
      QVERIFY(!store.Apply(set));
    }
    QCOMPARE(readFile(kDataFileName), before);
    QVERIFY(recorder.told.empty());
    QVERIFY(store.Apply(set));
    QCOMPARE(recorder.told, std::vector<ChangeSet>{set});
  }

  void wrappersAreSetsOfOne_data() {
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QString>("selected");  // the row left out, by name; none: SaveAll
    QTest::addColumn<QString>("appended");  // the line added, as "Name: phone"; none: nothing
    QTest::addColumn<QStringList>("applied");

    const QStringList two = {"Ann", "Bram"};
    QTest::newRow("add") << two << QString() << u"Cleo"_qs << QStringList{"+Cleo"};
    QTest::newRow("edit") << two << u"Bram"_qs << u"Bram: 2"_qs << QStringList{"Bram>Bram: 2"};
    QTest::newRow("rename") << two << u"Ann"_qs << u"Zoe"_qs << QStringList{"Ann>Zoe"};
    QTest::newRow("delete") << two << u"Ann"_qs << QString() << QStringList{"-Ann"};
    QTest::newRow("rewrite") << two << QString() << QString() << QStringList{};
    // The blank record of an empty book is no line of the file.
    QTest::newRow("edit the blank record")
        << QStringList{} << u""_qs << u"Ann"_qs << QStringList{"+Ann"};
  }

  void wrappersAreSetsOfOne() {
    QFETCH(QStringList, start);
    QFETCH(QString, selected);
    QFETCH(QString, appended);
    QFETCH(QStringList, applied);
    TestEnvironment env;
    writeRecords(start);
    RecordStore store(env.configRoot() + u"/a.tmp"_qs);
    store.SortFile();
    Recorder recorder;
    store.setChangeListener(&recorder);
    const QString line = appended.isNull() ? QString() : QString(recordLine(appended));
    QVERIFY(selected.isNull() ? store.SaveAll(line) : store.SaveRest(rowOf(store, selected), line));
    QCOMPARE(recorder.told, std::vector<ChangeSet>{setOf(applied)});
  }

  // A whole book of added lines is one write, and one load shows it.
  void wholeBookAddedInOneSave() {
    TestEnvironment env;
    RecordStore store(env.configRoot() + u"/a.tmp"_qs);
    store.SortFile();
    ChangeSet set;
    for (int i = 0; i < kRecordLimit; ++i)
      set.added << lineOf(u"N%1"_qs.arg(i, 5, 10, QLatin1Char('0')));
    Recorder recorder;
    store.setChangeListener(&recorder);
    FailingStep counter;
    QVERIFY(store.Apply(set));
    QCOMPARE(counter.renames, 1);
    QCOMPARE(recorder.told.size(), size_t(1));
    QCOMPARE(recorder.told.front().added.size(), qsizetype(kRecordLimit));
    store.SortFile();
    QCOMPARE(store.rowCount(), kRecordLimit);
    QCOMPARE(store.table().value(0, 0), u"N00000"_qs);
    QCOMPARE(store.table().value(kRecordLimit - 1, 0), u"N14999"_qs);
  }

  // A save whose file was replaced but whose folder could not be synced is reported as failed;
  // the user saves the same change again, and it is in the file once, not twice.
  void changeSavedAgainAfterFolderSyncFailed_data() {
    QTest::addColumn<QString>("selected");  // the row left out, by name; none: an add
    QTest::addColumn<QString>("appended");
    QTest::addColumn<QStringList>("records");

    QTest::newRow("add") << QString() << u"Cleo"_qs << QStringList{"Ann", "Bram", "Cleo"};
    QTest::newRow("edit") << u"Bram"_qs << u"Bram: 2"_qs << QStringList{"Ann", "Bram: 2"};
    QTest::newRow("delete") << u"Ann"_qs << QString() << QStringList{"Bram"};
  }

  void changeSavedAgainAfterFolderSyncFailed() {
    QFETCH(QString, selected);
    QFETCH(QString, appended);
    TestEnvironment env;
    writeFile(kDataFileName, fileOf({lineOf("Ann"), lineOf("Bram")}));
    RecordStore store(env.configRoot() + u"/a.tmp"_qs);
    store.SortFile();
    const QString line = appended.isNull() ? QString() : QString(recordLine(appended));
    const auto save = [&] {
      return selected.isNull() ? store.SaveAll(line) : store.SaveRest(rowOf(store, selected), line);
    };
    {
      FailingStep failure(WriteStep::FolderSync, 1);
      QVERIFY(!save());
    }
    QVERIFY(save());
    QTEST(fileRecords(env), "records");
  }

  void changesAllSurvive_data() {
    QTest::addColumn<QStringList>("start");
    // One save of a copy each: "a+Name: phone" (copy a adds), "b-Name" (b deletes),
    // "aName>Name: phone" (a edits).
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<bool>("exact");  // the file holds these lines only, in this order
    const auto row = [](const char* tag, const char* start, const char* changes,
                        const char* records, bool exact = false) {
      QTest::newRow(tag) << listOf(start) << listOf(changes) << listOf(records) << exact;
    };
    row("both add", "Ann|Bram", "a+Cleo|b+Dirk", "Ann|Bram|Cleo|Dirk");
    // B deletes before its watcher reloaded; then each adds, still on its first load.
    row("edit, delete, adds", "Ann|Bram|Cleo", "aAnn>Ann: 555 0101|b-Cleo|a+Emma|b+Finn",
        "Ann: 555 0101|Bram|Emma|Finn");
    // Without another copy's save in between, a save is the plain rewrite from the table.
    row("no other save", "Ann|  Bram  ", "a-Bram", "Ann", true);
    row("both edit one", "Ann|Bram", "aBram>Bram: from A|bBram>Bram: from B",
        "Ann|Bram: from A|Bram: from B");
    row("both delete one", "Ann|Bram|Cleo", "a-Bram|b-Bram", "Ann|Cleo");
    // Edited by A, deleted by B from its older load: A's edit stays.
    row("edit and delete one", "Ann|Bram", "aBram>Bram: new|b-Bram", "Ann|Bram: new");
    // The second add does not write the first copy's blank record.
    row("both add to no file", "", "a+Ann|b+Bram", "Ann|Bram", true);
    row("last deleted, one added", "Ann", "a-Ann|b+Bram", "Bram", true);
  }

  // Each copy saves without having seen the other's save, all within one second.
  void changesAllSurvive() {
    QFETCH(QStringList, start);
    QFETCH(QStringList, changes);
    QFETCH(QStringList, records);
    QFETCH(bool, exact);
    TwoCopies c(start);
    for (const QString& change : changes) {
      RecordStore& store = change[0] == u'a' ? c.a : c.b;
      const QStringList parts = change.mid(1).split(u'>');
      const bool adds = parts[0].startsWith(u'+'), deletes = parts[0].startsWith(u'-');
      const QString added = adds ? parts[0].mid(1) : parts.value(1);
      const QString line = added.isEmpty() ? QString() : recordLine(added);
      const SaveResult saved =
          adds ? store.SaveAll(line) : store.SaveRest(rowOf(store, parts[0].mid(deletes)), line);
      QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().reason));
    }
    QCOMPARE(fileRecords(c.env), records);
    if (exact) QCOMPARE(readFile(kDataFileName), fileOfNames(records));
  }

  // A line of the other copy's file that is no record, or a record that the table did not take
  // whole, is kept by the merge as it stands.
  void mergeKeepsLinesTheTableDidNotTake() {
    TwoCopies c({"Ann"});
    const QByteArray odd = "note with \"quotes\", 14 Lane";
    const QByteArray longName = lineOf(QString(90, QLatin1Char('L')));
    writeFile(kDataFileName, fileOf({lineOf("Ann"), odd, longName}));
    QVERIFY(c.b.SaveAll(lineOf("Bram")));
    const QByteArray now = readFile(kDataFileName);
    QVERIFY(now.contains(QByteArray("\r\n" + odd + "\r\n")));
    QVERIFY(now.contains(QByteArray(longName + "\r\n")));
    QCOMPARE(fileRecords(c.env), (QStringList{"Ann", "Bram", QString(80, QLatin1Char('L'))}));
  }

  // A backup is this copy's own table, whatever the other copy saved meanwhile.
  void backupIsThisCopysTable() {
    TwoCopies c({"Ann"});
    QVERIFY(c.a.SaveAll(lineOf("Bram")));
    QVERIFY(c.b.WriteBackup(kBackupFileName));
    QCOMPARE(readFile(kBackupFileName), fileOf({lineOf("Ann")}));
  }

  // Two processes of the store, 200 rounds each of adding, editing and deleting on one file.
  void twoProcessesRacing() {
    TestEnvironment env;
    constexpr int kRounds = 200;
    std::vector<std::unique_ptr<QProcess>> racers;
    for (const QString& prefix : {u"P"_qs, u"Q"_qs}) {
      auto& racer = racers.emplace_back(std::make_unique<QProcess>());
      racer->setWorkingDirectory(env.workDir());
      racer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
      racer->start(QStringLiteral(STORE_RACER),
                   {prefix, QString::number(kRounds), env.configRoot() + u'/' + prefix});
    }
    for (auto& racer : racers) {
      QVERIFY(racer->waitForFinished(120000));
      QCOMPARE(racer->exitStatus(), QProcess::NormalExit);
      QCOMPARE(racer->exitCode(), 0);
    }
    RecordStore store(env.configRoot() + u"/check.tmp"_qs);
    store.SortFile();
    const QSet<QString> expected = raceResult(u"P"_qs, kRounds) + raceResult(u"Q"_qs, kRounds);
    const QStringList names = namesOf(store);
    QCOMPARE(names.size(), expected.size());
    QCOMPARE(QSet<QString>(names.begin(), names.end()), expected);
  }
};

QTEST_GUILESS_MAIN(ChangeSetTest)
#include "test_change_set.moc"
