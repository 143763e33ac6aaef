// The lock copies sharing a data file save under: a live copy's lock holds, a dead copy's
// is taken over, whatever it left behind.
#include <QElapsedTimer>
#include <QLockFile>
#include <QTest>
#include <optional>

#include "record_store/file_lock.h"
#include "store_files.h"

using namespace tavelin;
using namespace tavelin::test;

namespace {

// Makes a file look two seconds old.
bool age(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadWrite) &&
         file.setFileTime(QDateTime::currentDateTime().addSecs(-2),
                          QFileDevice::FileModificationTime);
}

// The lock file a save finds: one written by hand, new or two seconds old, or another copy's.
enum class Lock { New, Old, Live, LiveOld, Dead, DeadRemovalLeft, DeadRemovalChain };

}  // namespace

Q_DECLARE_METATYPE(Lock)

class FileLockTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void lockFiles_data();
  void lockFiles();
  void whyNotTaken();
};

void FileLockTest::lockFiles_data() {
  QTest::addColumn<Lock>("lock");
  QTest::addColumn<QByteArray>("name");  // what a lock no copy holds has in it
  QTest::addColumn<int>("waitMs");
  QTest::addColumn<bool>("taken");

  // A lock that names a live copy is never taken, however old; the wait is bounded.
  QTest::newRow("live copy's") << Lock::Live << QByteArray() << 300 << false;
  QTest::newRow("live copy's, old") << Lock::LiveOld << QByteArray() << 0 << false;
  // A copy killed between creating the lock file and writing its name into it leaves it
  // empty, or cut short; QLockFile alone would wait 30 seconds for such a lock. Just created,
  // a live copy may be about to write its name.
  QTest::newRow("empty, new") << Lock::New << QByteArray() << 0 << false;
  QTest::newRow("empty, old") << Lock::Old << QByteArray() << 0 << true;
  QTest::newRow("cut short") << Lock::Old << QByteArray("12") << 0 << true;
  QTest::newRow("empty lines") << Lock::Old << QByteArray("\n\n") << 0 << true;
  QTest::newRow("dead copy's") << Lock::Dead << QByteArray() << 0 << true;
  // The lock that guards the removal of a dead copy's lock, left nameless by a copy killed
  // while it cleared it.
  QTest::newRow("dead copy's, removal left")
      << Lock::DeadRemovalLeft << QByteArray() << 1000 << true;
  // Copies killed in turn while each cleared the one before: a dead copy's removal lock under
  // which a nameless one was left.
  QTest::newRow("dead copy's, removal chain left")
      << Lock::DeadRemovalChain << QByteArray() << 1000 << true;
}

void FileLockTest::lockFiles() {
  QFETCH(Lock, lock);
  QFETCH(QByteArray, name);
  QFETCH(int, waitMs);
  QFETCH(bool, taken);
  TestEnvironment env;
  const QByteArray before = fileOf({record("A")});
  writeFile(kDataFileName, before);
  writeFile(kBackupFileName, "\"Backup\"\r\n");
  RecordStore store(env.configRoot() + u"/work.tmp"_qs);
  store.SortFile();
  const QString lockPath = RecordStore::lockFilePath(kDataFileName);
  std::optional<QLockFile> live;
  if (lock == Lock::Live || lock == Lock::LiveOld) {
    QVERIFY(live.emplace(lockPath).tryLock(0));
  } else if (lock == Lock::New || lock == Lock::Old) {
    writeFile(lockPath, name);
  } else {
    QVERIFY(leaveLockOfDeadProcess(lockPath));
  }
  if (lock == Lock::Old || lock == Lock::LiveOld) QVERIFY(age(lockPath));
  if (lock == Lock::DeadRemovalLeft) {
    writeFile(lockPath + u".rmlock"_qs, {});
    QVERIFY(age(lockPath + u".rmlock"_qs));
  }
  if (lock == Lock::DeadRemovalChain) {
    QVERIFY(leaveLockOfDeadProcess(lockPath + u".rmlock"_qs));
    writeFile(lockPath + u".rmlock.rmlock"_qs, {});
    QVERIFY(age(lockPath + u".rmlock.rmlock"_qs));
  }

  store.setLockWaitMs(waitMs);
  std::vector<bool> waits;
  store.setLockWaitObserver([&waits](bool waiting) { waits.push_back(waiting); });
  QElapsedTimer waited;
  waited.start();
  const SaveResult saved = store.SaveAll(u"\"B\""_qs);
  if (taken) {
    QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().reason));
    QCOMPARE(readFile(kDataFileName), before + "\"B\"\r\n");
    QVERIFY(!QFileInfo::exists(lockPath));
    return;
  }
  QVERIFY(!saved);
  QCOMPARE(saved.error().reason, u"another copy of Tavelin holds the lock file "_qs + lockPath);
  QVERIFY(waited.elapsed() >= waitMs && waited.elapsed() < 5000);
  QCOMPARE(waits, (std::vector<bool>{true, false}));
  QVERIFY(!store.RestoreFrom(kBackupFileName));
  QCOMPARE(readFile(kDataFileName), before);
}

// The reason names the lock file; the wait is told only when there is one.
void FileLockTest::whyNotTaken() {
  TestEnvironment env;
  const QString lockPath = DataFileLock::pathOf(kDataFileName);
  QCOMPARE(lockPath, kDataFileName + u".lock"_qs);
  std::vector<bool> waits;
  const auto onWait = [&waits](bool waiting) { waits.push_back(waiting); };
  {
    DataFileLock first(kDataFileName);
    QVERIFY(!first.take(0, onWait));
    QVERIFY(waits.empty());
    DataFileLock second(kDataFileName);
    QVERIFY(!second.tryTake());
    const std::optional<WriteError> error = second.take(0, onWait);
    QVERIFY(error);
    QCOMPARE(error->fileName, kDataFileName);
    QCOMPARE(error->reason, u"another copy of Tavelin holds the lock file "_qs + lockPath);
    QCOMPARE(waits, (std::vector<bool>{true, false}));
  }
  QVERIFY(!QFileInfo::exists(lockPath));
  const QString nowhere = u"missing/TAVELIN.FIL"_qs;
  const std::optional<WriteError> error = DataFileLock(nowhere).take(0, {});
  QVERIFY(error);
  QCOMPARE(error->reason,
           u"the lock file %1 could not be created"_qs.arg(DataFileLock::pathOf(nowhere)));
}

QTEST_GUILESS_MAIN(FileLockTest)
#include "test_file_lock.moc"
