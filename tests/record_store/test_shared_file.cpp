// Several copies of the program on one data file: every copy's update survives the others.
#include <QProcess>
#include <QTest>

#include "store_files.h"

using namespace tavelin;
using namespace tavelin::test;

namespace {

QByteArray lineOf(const QString& name, const QString& phone = {}) {
  return record(name.toUtf8(), 4, phone.toUtf8());
}

// Two copies, each with its own work file, on the data file of one folder.
struct TwoCopies {
  TestEnvironment env;
  RecordStore a{env.configRoot() + u"/a.tmp"_qs};
  RecordStore b{env.configRoot() + u"/b.tmp"_qs};

  explicit TwoCopies(const QStringList& names) {
    QByteArrayList lines;
    for (const QString& n : names) lines << lineOf(n);
    if (!names.isEmpty()) writeFile(kDataFileName, fileOf(lines));
    a.SortFile();
    b.SortFile();
  }
  // The records the file holds now, as a fresh load sorts them: each name, and ": phone"
  // after it when it has one.
  QStringList fileRecords() {
    RecordStore fresh(env.configRoot() + u"/fresh.tmp"_qs);
    fresh.SortFile();
    QStringList records;
    for (int r = 0; r < fresh.rowCount(); ++r) {
      const QString phone = fresh.table().value(r, 4).toString();
      records << fresh.table().value(r, 0) + (phone.isEmpty() ? QString() : u": "_qs + phone);
    }
    return records;
  }
};

// One save of one copy: the record it leaves out (edit, delete), the one it adds.
struct Change {
  char copy;
  QString replaced = {};
  QString name = {};
  QString phone = {};
};
using Changes = std::vector<Change>;

}  // namespace

Q_DECLARE_METATYPE(Changes)

class SharedFileTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void changesAllSurvive_data();
  void changesAllSurvive();
  void mergeKeepsLinesTheTableDidNotTake();
  void backupIsThisCopysTable();
  void twoProcessesRacing();
};

void SharedFileTest::changesAllSurvive_data() {
  QTest::addColumn<QStringList>("start");
  QTest::addColumn<Changes>("changes");
  QTest::addColumn<QStringList>("records");
  QTest::addColumn<QByteArray>("bytes");  // the file exactly, when given

  QTest::newRow("both add") << QStringList{"Ann", "Bram"}
                            << Changes{{'a', {}, "Cleo"}, {'b', {}, "Dirk"}}
                            << QStringList{"Ann", "Bram", "Cleo", "Dirk"} << QByteArray();
  // B deletes before its watcher reloaded; then each adds, still on its first load.
  QTest::newRow("edit, delete, adds")
      << QStringList{"Ann", "Bram", "Cleo"}
      << Changes{{'a', "Ann", "Ann", "555 0101"},
                 {'b', "Cleo"},
                 {'a', {}, "Emma"},
                 {'b', {}, "Finn"}}
      << QStringList{"Ann: 555 0101", "Bram", "Emma", "Finn"} << QByteArray();
  // Without another copy's save in between, a save is the plain rewrite from the table.
  QTest::newRow("no other save") << QStringList{"Ann", "  Bram  "} << Changes{{'a', "Bram"}}
                                 << QStringList{"Ann"} << fileOf({lineOf("Ann")});
  QTest::newRow("both edit one") << QStringList{"Ann", "Bram"}
                                 << Changes{{'a', "Bram", "Bram", "from A"},
                                            {'b', "Bram", "Bram", "from B"}}
                                 << QStringList{"Ann", "Bram: from A", "Bram: from B"}
                                 << QByteArray();
  QTest::newRow("both delete one")
      << QStringList{"Ann", "Bram", "Cleo"} << Changes{{'a', "Bram"}, {'b', "Bram"}}
      << QStringList{"Ann", "Cleo"} << QByteArray();
  // Edited by A, deleted by B from its older load: A's edit stays.
  QTest::newRow("edit and delete one")
      << QStringList{"Ann", "Bram"} << Changes{{'a', "Bram", "Bram", "new"}, {'b', "Bram"}}
      << QStringList{"Ann", "Bram: new"} << QByteArray();
  // The second add does not write the first copy's blank record.
  QTest::newRow("both add to no file")
      << QStringList{} << Changes{{'a', {}, "Ann"}, {'b', {}, "Bram"}} << QStringList{"Ann", "Bram"}
      << fileOf({lineOf("Ann"), lineOf("Bram")});
  QTest::newRow("last deleted, one added")
      << QStringList{"Ann"} << Changes{{'a', "Ann"}, {'b', {}, "Bram"}} << QStringList{"Bram"}
      << fileOf({lineOf("Bram")});
}

// Each copy saves without having seen the other's save, all within one second.
void SharedFileTest::changesAllSurvive() {
  QFETCH(QStringList, start);
  QFETCH(Changes, changes);
  TwoCopies c(start);
  for (const Change& change : changes) {
    RecordStore& store = change.copy == 'a' ? c.a : c.b;
    const QString line = change.name.isEmpty() ? QString() : lineOf(change.name, change.phone);
    const SaveResult saved = change.replaced.isEmpty()
                                 ? store.SaveAll(line)
                                 : store.SaveRest(rowOf(store, change.replaced), line);
    QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().reason));
  }
  QTEST(c.fileRecords(), "records");
  QFETCH(QByteArray, bytes);
  if (!bytes.isEmpty()) QCOMPARE(readFile(kDataFileName), bytes);
}

// A line of the other copy's file that is no record, or a record that the table did not take
// whole, is kept by the merge as it stands.
void SharedFileTest::mergeKeepsLinesTheTableDidNotTake() {
  TwoCopies c({"Ann"});
  const QByteArray odd = "note with \"quotes\", 14 Lane";
  const QByteArray longName = lineOf(QString(90, QLatin1Char('L')));
  writeFile(kDataFileName, fileOf({lineOf("Ann"), odd, longName}));
  QVERIFY(c.b.SaveAll(lineOf("Bram")));
  const QByteArray now = readFile(kDataFileName);
  QVERIFY(now.contains(QByteArray("\r\n" + odd + "\r\n")));
  QVERIFY(now.contains(QByteArray(longName + "\r\n")));
  QCOMPARE(c.fileRecords(), (QStringList{"Ann", "Bram", QString(80, QLatin1Char('L'))}));
}

// A backup is this copy's own table, whatever the other copy saved meanwhile.
void SharedFileTest::backupIsThisCopysTable() {
  TwoCopies c({"Ann"});
  QVERIFY(c.a.SaveAll(lineOf("Bram")));
  QVERIFY(c.b.WriteBackup(kBackupFileName));
  QCOMPARE(readFile(kBackupFileName), fileOf({lineOf("Ann")}));
}

// Two processes of the store, 200 rounds each of adding, editing and deleting on one file.
void SharedFileTest::twoProcessesRacing() {
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

QTEST_GUILESS_MAIN(SharedFileTest)
#include "test_shared_file.moc"
