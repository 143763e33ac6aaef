// A change set of many lines is one save: applied whole to the file as this copy loaded it, or
// to the file as another copy left it, and told to the listener exactly as it was applied.
#include <QLockFile>
#include <QTest>

#include "store_files.h"

using namespace tavelin;
using namespace tavelin::test;

namespace {

QString lineOf(const QString& name, const QString& phone = {}) {
  return QString::fromUtf8(record(name.toUtf8(), 4, phone.toUtf8()));
}

// Counts the data-file writes that reach their rename, and fails the rename when asked.
class WriteCounter final : public FileSystemFaults {
 public:
  explicit WriteCounter(bool fail = false) : fail_(fail) { install(this); }
  ~WriteCounter() override { install(nullptr); }
  std::optional<QString> fault(WriteStep step, const QString& path) override {
    if (step != WriteStep::Rename || !path.endsWith(kDataFileName)) return std::nullopt;
    if (fail_) return QStringLiteral("Input/output error");
    ++writes;
    return std::nullopt;
  }
  int writes = 0;

 private:
  bool fail_;
};

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

// The records of a store: each name, and ": phone" when it has one.
QStringList recordsOf(const RecordStore& store) {
  QStringList records;
  for (int r = 0; r < store.rowCount(); ++r) {
    const QString phone = store.table().value(r, 4).toString();
    records << store.table().value(r, 0) + (phone.isEmpty() ? QString() : u": "_qs + phone);
  }
  return records;
}

// The records a fresh load of the data file shows.
QStringList fileRecords(const TestEnvironment& env) {
  RecordStore fresh(env.configRoot() + u"/fresh.tmp"_qs);
  fresh.SortFile();
  return recordsOf(fresh);
}

// A set written as "-Name" (removed), "Name>Name: phone" (replaced), "+Name: phone" (added).
ChangeSet setOf(const QStringList& changes) {
  const auto line = [](const QString& record) {
    const QStringList parts = record.split(u": "_qs);
    return lineOf(parts[0], parts.value(1));
  };
  ChangeSet set;
  for (const QString& change : changes) {
    const QString what = change.mid(1);
    if (change.startsWith(u'-')) {
      set.removed << line(what);
    } else if (change.startsWith(u'+')) {
      set.added << line(what);
    } else {
      const QStringList pair = change.split(u'>');
      set.replaced << ChangeSet::Replacement{line(pair[0]), line(pair[1])};
    }
  }
  return set;
}

}  // namespace

class ChangeSetTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void appliedInOneSave_data();
  void appliedInOneSave();
  void keptLinesAndTwins();
  void failedSaveTellsNothing();
  void wrappersAreSetsOfOne_data();
  void wrappersAreSetsOfOne();
  void wholeBookAddedInOneSave();
};

void ChangeSetTest::appliedInOneSave_data() {
  QTest::addColumn<QStringList>("start");
  QTest::addColumn<QStringList>("other");  // the other copy's set, saved first; none: no other
  QTest::addColumn<QStringList>("mine");
  QTest::addColumn<QStringList>("records");
  QTest::addColumn<QStringList>("applied");  // what the listener is told, in the same notation

  const QStringList four = {"Ann", "Bram", "Cleo", "Dora"};
  QTest::newRow("file as loaded") << four << QStringList{}
                                  << QStringList{"-Ann", "Cleo>Cleo: 3", "+Eva", "+Finn: 6",
                                                 "-Dora"}
                                  << QStringList{"Bram", "Cleo: 3", "Eva", "Finn: 6"}
                                  << QStringList{"-Ann", "-Dora", "Cleo>Cleo: 3", "+Eva",
                                                 "+Finn: 6"};
  QTest::newRow("both removed") << four << QStringList{"-Bram"}
                                << QStringList{"-Bram", "-Cleo", "Dora>Dora: 4", "+Eva"}
                                << QStringList{"Ann", "Dora: 4", "Eva"}
                                << QStringList{"-Cleo", "Dora>Dora: 4", "+Eva"};
  QTest::newRow("replaced what the other removed")
      << four << QStringList{"-Bram", "+Gus"} << QStringList{"Bram>Bram: 2", "-Ann"}
      << QStringList{"Bram: 2", "Cleo", "Dora", "Gus"} << QStringList{"-Ann", "+Bram: 2"};
  QTest::newRow("removed what the other replaced")
      << four << QStringList{"Bram>Bram: 9"} << QStringList{"-Bram", "-Dora"}
      << QStringList{"Ann", "Bram: 9", "Cleo"} << QStringList{"-Dora"};
  QTest::newRow("both replaced one")
      << four << QStringList{"Cleo>Cleo: 1"} << QStringList{"Cleo>Cleo: 2", "Ann>Anna"}
      << QStringList{"Anna", "Bram", "Cleo: 1", "Cleo: 2", "Dora"}
      << QStringList{"Ann>Anna", "+Cleo: 2"};
  QTest::newRow("both added the same line")
      << four << QStringList{"+Eva", "-Ann"} << QStringList{"+Eva", "+Finn"}
      << QStringList{"Bram", "Cleo", "Dora", "Eva", "Eva", "Finn"} << QStringList{"+Eva", "+Finn"};
  QTest::newRow("into no file") << QStringList{} << QStringList{"+Ann"}
                                << QStringList{"+Bram", "-Cleo"} << QStringList{"Ann", "Bram"}
                                << QStringList{"+Bram"};
}

void ChangeSetTest::appliedInOneSave() {
  QFETCH(QStringList, start);
  QFETCH(QStringList, other);
  QFETCH(QStringList, mine);
  QFETCH(QStringList, applied);
  TestEnvironment env;
  QByteArrayList lines;
  for (const QString& name : start) lines << lineOf(name).toUtf8();
  if (!start.isEmpty()) writeFile(kDataFileName, fileOf(lines));
  RecordStore a(env.configRoot() + u"/a.tmp"_qs);
  RecordStore b(env.configRoot() + u"/b.tmp"_qs);
  a.SortFile();
  b.SortFile();
  if (!other.isEmpty()) QVERIFY(b.Apply(setOf(other)));

  Recorder recorder;
  a.setChangeListener(&recorder);
  WriteCounter counter;
  const SaveResult saved = a.Apply(setOf(mine));
  QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().reason));
  QCOMPARE(counter.writes, 1);
  QTEST(fileRecords(env), "records");
  QCOMPARE(recorder.told, std::vector<ChangeSet>{setOf(applied)});
  QVERIFY(recorder.underLock);
  // One reload shows all of it.
  a.SortFile();
  QTEST(recordsOf(a), "records");
}

// Lines that are no record are taken out like records; of two equal lines, one goes.
void ChangeSetTest::keptLinesAndTwins() {
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
    if (otherSaved) lines << lineOf("Cleo").toUtf8();
    lines << lineOf("Bram", "2").toUtf8();
    QCOMPARE(readFile(kDataFileName), fileOf(lines));
    QCOMPARE(recorder.told, std::vector<ChangeSet>{set});
  }
}

// A save that fails, at the write or at the lock, tells the listener nothing and changes
// nothing; the next one that succeeds is told once.
void ChangeSetTest::failedSaveTellsNothing() {
  TestEnvironment env;
  const QByteArray before = fileOf({lineOf("Ann").toUtf8()});
  writeFile(kDataFileName, before);
  RecordStore store(env.configRoot() + u"/a.tmp"_qs);
  store.SortFile();
  Recorder recorder;
  store.setChangeListener(&recorder);
  const ChangeSet set = setOf({"-Ann", "+Bram"});
  {
    WriteCounter failing(true);
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

void ChangeSetTest::wrappersAreSetsOfOne_data() {
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

void ChangeSetTest::wrappersAreSetsOfOne() {
  QFETCH(QStringList, start);
  QFETCH(QString, selected);
  QFETCH(QString, appended);
  QFETCH(QStringList, applied);
  TestEnvironment env;
  QByteArrayList lines;
  for (const QString& name : start) lines << lineOf(name).toUtf8();
  if (!start.isEmpty()) writeFile(kDataFileName, fileOf(lines));
  RecordStore store(env.configRoot() + u"/a.tmp"_qs);
  store.SortFile();
  Recorder recorder;
  store.setChangeListener(&recorder);
  const QString line = appended.isNull() ? QString() : setOf({u'+' + appended}).added.constFirst();
  QVERIFY(selected.isNull() ? store.SaveAll(line) : store.SaveRest(rowOf(store, selected), line));
  QCOMPARE(recorder.told, std::vector<ChangeSet>{setOf(applied)});
}

// A whole book of added lines is one write, and one load shows it.
void ChangeSetTest::wholeBookAddedInOneSave() {
  TestEnvironment env;
  RecordStore store(env.configRoot() + u"/a.tmp"_qs);
  store.SortFile();
  ChangeSet set;
  for (int i = 0; i < kRecordLimit; ++i)
    set.added << lineOf(u"N%1"_qs.arg(i, 5, 10, QLatin1Char('0')));
  Recorder recorder;
  store.setChangeListener(&recorder);
  WriteCounter counter;
  QVERIFY(store.Apply(set));
  QCOMPARE(counter.writes, 1);
  QCOMPARE(recorder.told.size(), size_t(1));
  QCOMPARE(recorder.told.front().added.size(), qsizetype(kRecordLimit));
  store.SortFile();
  QCOMPARE(store.rowCount(), kRecordLimit);
  QCOMPARE(store.table().value(0, 0), u"N00000"_qs);
  QCOMPARE(store.table().value(kRecordLimit - 1, 0), u"N14999"_qs);
}

QTEST_GUILESS_MAIN(ChangeSetTest)
#include "test_change_set.moc"
