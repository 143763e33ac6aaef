// Several copies of the program on one data file: every copy's update survives the others.
#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTest>

#include "record_store/record_store.h"
#include "store_race.h"
#include "support/test_env.h"

using namespace tavelin;

namespace {

QString lineOf(const QString& name, const QString& phone = {}) {
  QString line =
      QLatin1Char('"') + name + QStringLiteral("\",\"\",\"\",\"\",\"") + phone + QLatin1Char('"');
  for (int k = 5; k < 14; ++k) line += QStringLiteral(",\"\"");
  return line;
}

// Two copies, each with its own work file, on the data file of one folder.
struct TwoCopies {
  test::TestEnvironment env;
  RecordStore a{env.configRoot() + QStringLiteral("/a.tmp")};
  RecordStore b{env.configRoot() + QStringLiteral("/b.tmp")};

  explicit TwoCopies(const QStringList& names) {
    QByteArray bytes;
    for (const QString& n : names) bytes += lineOf(n).toUtf8() + "\r\n";
    if (!names.isEmpty()) test::writeFile(kDataFileName, bytes);
    a.SortFile();
    b.SortFile();
  }
  // The names the file holds now, as a fresh load sorts them.
  QStringList fileNames() {
    RecordStore fresh(env.configRoot() + QStringLiteral("/fresh.tmp"));
    fresh.SortFile();
    QStringList names;
    for (int r = 0; r < fresh.rowCount(); ++r) names << fresh.table().value(r, 0).toString();
    return names;
  }
};

int rowOf(const RecordStore& store, const QString& name) {
  for (int r = 0; r < store.rowCount(); ++r) {
    if (store.table().value(r, 0) == name) return r;
  }
  return -1;
}

}  // namespace

class SharedFileTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void interleavedChangesAllSurvive();
  void changesToTheSameRecord();
  void emptyFileAndBackup();
  void lockHeldOrLeftBehind();
  void twoProcessesRacing();
};

// Each copy saves without having seen the other's save, all within one second.
void SharedFileTest::interleavedChangesAllSurvive() {
  {
    // B starts adding, A adds and saves, then B saves.
    TwoCopies c({"Ann", "Bram"});
    QVERIFY(!c.a.SaveAll(lineOf("Cleo")));
    QVERIFY(!c.b.SaveAll(lineOf("Dirk")));
    QCOMPARE(c.fileNames(), (QStringList{"Ann", "Bram", "Cleo", "Dirk"}));
  }
  {
    // Both browsing: A edits one record, B deletes another before its watcher reloaded.
    TwoCopies c({"Ann", "Bram", "Cleo"});
    QVERIFY(!c.a.SaveRest(rowOf(c.a, "Ann"), lineOf("Ann", "555 0101")));
    QVERIFY(!c.b.SaveRest(rowOf(c.b, "Cleo")));
    QCOMPARE(c.fileNames(), (QStringList{"Ann", "Bram"}));
    c.a.SortFile();
    QCOMPARE(c.a.table().value(rowOf(c.a, "Ann"), 4), u"555 0101");
    // A, still on its load from before B's delete, adds: the delete holds.
    QVERIFY(!c.a.SaveAll(lineOf("Emma")));
    QVERIFY(!c.b.SaveAll(lineOf("Finn")));
    QCOMPARE(c.fileNames(), (QStringList{"Ann", "Bram", "Emma", "Finn"}));
  }
  {
    // Without another copy's save in between, a save is the plain rewrite from the table.
    TwoCopies c({"Ann", "  Bram  "});
    QVERIFY(!c.a.SaveRest(rowOf(c.a, "Bram")));
    QCOMPARE(test::readFile(kDataFileName), lineOf("Ann").toUtf8() + "\r\n");
  }
}

// Two copies change the same record: nothing either of them wrote is lost.
void SharedFileTest::changesToTheSameRecord() {
  {
    TwoCopies c({"Ann", "Bram"});
    QVERIFY(!c.a.SaveRest(rowOf(c.a, "Bram"), lineOf("Bram", "from A")));
    QVERIFY(!c.b.SaveRest(rowOf(c.b, "Bram"), lineOf("Bram", "from B")));
    RecordStore fresh(c.env.configRoot() + QStringLiteral("/f.tmp"));
    fresh.SortFile();
    QCOMPARE(fresh.rowCount(), 3);
    QStringList phones;
    for (int r = 1; r < 3; ++r) phones << fresh.table().value(r, 4).toString();
    phones.sort();
    QCOMPARE(phones, (QStringList{"from A", "from B"}));
  }
  {
    // Deleted by both: gone once, nothing else removed.
    TwoCopies c({"Ann", "Bram", "Cleo"});
    QVERIFY(!c.a.SaveRest(rowOf(c.a, "Bram")));
    QVERIFY(!c.b.SaveRest(rowOf(c.b, "Bram")));
    QCOMPARE(c.fileNames(), (QStringList{"Ann", "Cleo"}));
  }
  {
    // Edited by A, deleted by B from its older load: A's edit stays.
    TwoCopies c({"Ann", "Bram"});
    QVERIFY(!c.a.SaveRest(rowOf(c.a, "Bram"), lineOf("Bram", "new")));
    QVERIFY(!c.b.SaveRest(rowOf(c.b, "Bram")));
    QCOMPARE(c.fileNames(), (QStringList{"Ann", "Bram"}));
  }
  {
    // A line of the other copy's file that is no record, or a record that the table did not
    // take whole, is kept by the merge as it stands.
    TwoCopies c({"Ann"});
    const QByteArray odd = "note without quotes, 14 Lane";
    const QByteArray longName = lineOf(QString(90, QLatin1Char('L'))).toUtf8();
    test::writeFile(kDataFileName,
                    lineOf("Ann").toUtf8() + "\r\n" + odd + "\r\n" + longName + "\r\n");
    QVERIFY(!c.b.SaveAll(lineOf("Bram")));
    const QByteArray now = test::readFile(kDataFileName);
    QVERIFY(now.contains(QByteArray("\r\n" + odd + "\r\n")));
    QVERIFY(now.contains(QByteArray(longName + "\r\n")));
    QCOMPARE(c.fileNames(), (QStringList{"Ann", "Bram", QString(80, QLatin1Char('L'))}));
  }
}

void SharedFileTest::emptyFileAndBackup() {
  {
    // Both start on no file; the second add does not write the first copy's blank record.
    TwoCopies c({});
    QVERIFY(!c.a.SaveAll(lineOf("Ann")));
    QVERIFY(!c.b.SaveAll(lineOf("Bram")));
    QCOMPARE(test::readFile(kDataFileName),
             (lineOf("Ann") + "\r\n" + lineOf("Bram") + "\r\n").toUtf8());
  }
  {
    // A deletes the last record; B, which had not seen that, adds one.
    TwoCopies c({"Ann"});
    QVERIFY(!c.a.SaveRest(0));
    QVERIFY(!c.b.SaveAll(lineOf("Bram")));
    QCOMPARE(test::readFile(kDataFileName), (lineOf("Bram") + "\r\n").toUtf8());
  }
  {
    // A backup is this copy's own table, whatever the other copy saved meanwhile.
    TwoCopies c({"Ann"});
    QVERIFY(!c.a.SaveAll(lineOf("Bram")));
    c.b.DataFile = kBackupFileName;
    QVERIFY(!c.b.SaveAll());
    QCOMPARE(test::readFile(kBackupFileName), (lineOf("Ann") + "\r\n").toUtf8());
  }
}

void SharedFileTest::lockHeldOrLeftBehind() {
  TwoCopies c({"Ann"});
  const QString lockPath = RecordStore::lockFilePath(kDataFileName);
  {
    // Held by a copy that is saving: the wait is bounded, and nothing is written.
    QLockFile other(lockPath);
    QVERIFY(other.tryLock(0));
    c.a.lockWaitMs = 300;
    std::vector<bool> waits;
    c.a.onLockWait = [&waits](bool waiting) { waits.push_back(waiting); };
    QElapsedTimer waited;
    waited.start();
    const auto error = c.a.SaveAll(lineOf("Bram"));
    QVERIFY(error);
    QVERIFY(error->reason.contains(u"lock file"));
    QVERIFY(waited.elapsed() >= 300 && waited.elapsed() < 5000);
    QCOMPARE(waits, (std::vector<bool>{true, false}));
    QCOMPARE(c.fileNames(), QStringList{"Ann"});
    const auto restore = c.a.RestoreFrom(kBackupFileName);
    QVERIFY(restore);
  }
  // Left by a copy that died while saving: the next save sees it is stale and goes on.
  QVERIFY(test::leaveLockOfDeadProcess(lockPath));
  QVERIFY(QFile::exists(lockPath));
  QVERIFY(!c.a.SaveAll(lineOf("Bram")));
  QCOMPARE(c.fileNames(), (QStringList{"Ann", "Bram"}));
  QVERIFY(!QFile::exists(lockPath));
}

// Two processes of the store, 200 rounds each of adding, editing and deleting on one file.
void SharedFileTest::twoProcessesRacing() {
  test::TestEnvironment env;
  constexpr int kRounds = 200;
  std::vector<std::unique_ptr<QProcess>> racers;
  for (const QString& prefix : {QStringLiteral("P"), QStringLiteral("Q")}) {
    auto racer = std::make_unique<QProcess>();
    racer->setWorkingDirectory(env.workDir());
    racer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    racer->start(QStringLiteral(STORE_RACER),
                 {prefix, QString::number(kRounds), env.configRoot() + u'/' + prefix});
    racers.push_back(std::move(racer));
  }
  for (auto& racer : racers) {
    QVERIFY(racer->waitForFinished(120000));
    QCOMPARE(racer->exitStatus(), QProcess::NormalExit);
    QCOMPARE(racer->exitCode(), 0);
  }
  RecordStore store(env.configRoot() + QStringLiteral("/check.tmp"));
  store.SortFile();
  QSet<QString> names;
  for (int r = 0; r < store.rowCount(); ++r) names.insert(store.table().value(r, 0).toString());
  const QSet<QString> expected = test::raceResult(QStringLiteral("P"), kRounds) +
                                 test::raceResult(QStringLiteral("Q"), kRounds);
  QCOMPARE(store.rowCount(), int(expected.size()));
  QCOMPARE(names, expected);
}

QTEST_GUILESS_MAIN(SharedFileTest)
#include "test_shared_file.moc"
