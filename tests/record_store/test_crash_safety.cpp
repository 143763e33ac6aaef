// A copy killed at any moment of a save leaves the data file whole: the old content or the
// new, and no temporary file or lock that the next start or save does not clear away. The
// lock copies save under: a live copy's lock holds, a dead copy's is taken over, whatever it
// left behind.
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <optional>
#include <random>
#include <thread>

#include "record_store/file_lock.h"
#include "store_files.h"

using namespace tavelin;
using namespace tavelin::test;

namespace {

// What the folder holds besides the data file and its lock file.
QStringList strayFiles(const QDir& folder) {
  QStringList names = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  names.removeAll(kDataFileName);
  // The lock a killed copy left, and the ones QLockFile takes to remove such a lock (".rmlock",
  // ".rmlock.rmlock" ...): each is seen as stale by the next copy.
  const QString lock = RecordStore::lockFilePath(kDataFileName);
  names.removeIf([&lock](const QString& name) {
    return name.startsWith(lock) && name.mid(lock.size()).remove(u".rmlock"_qs).isEmpty();
  });
  return names;
}

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

class CrashSafetyTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void killedSaves() {
    TestEnvironment env;
    const QString workFile = env.configRoot() + u"/work.tmp"_qs;
    QByteArrayList lines;
    for (int i = 0; i < 14999; ++i) {
      const QByteArray number = QByteArray::number(i).rightJustified(5, '0');
      lines << record("Name " + number, 1, "555-" + number.right(4));
    }
    writeFile(kDataFileName, fileOf(lines));
    const QString added = record("Added Name", 1, "555-Name");

    // The two contents a save can leave, as the store writes them; and how long a save takes.
    RecordStore store(workFile);
    QElapsedTimer save;
    store.SortFile();
    save.start();
    QVERIFY(store.SaveAll(added));
    qint64 saveUs = save.nsecsElapsed() / 1000;
    const QByteArray withAdded = readFile(kDataFileName);
    store.SortFile();
    save.restart();
    QVERIFY(store.SaveRest(rowOf(store, u"Added Name"_qs)));
    saveUs = std::max({saveUs, save.nsecsElapsed() / 1000, qint64{2000}});
    const QByteArray without = readFile(kDataFileName);
    QCOMPARE(withAdded.size(), without.size() + added.toUtf8().size() + 2);

    std::mt19937 random(20261206);
    // Kills fall anywhere in the first save after the first load. How long that save takes in
    // the copy that is killed moves with the machine's load, so the range of delays follows
    // what the kills so far found: a little longer after one inside the save, shorter after
    // one that came when it was over.
    qint64 rangeUs = saveUs;
    const QDir folder(env.workDir());
    int kills = 0, inSave = 0;
    for (; kills < 200; ++kills) {
      QProcess looper;
      looper.setWorkingDirectory(env.workDir());
      looper.start(QStringLiteral(SAVE_LOOPER), {workFile, added});
      QVERIFY2(looper.waitForReadyRead(30000), qPrintable(looper.readAllStandardError()));
      std::this_thread::sleep_for(
          std::chrono::microseconds(std::uniform_int_distribution<qint64>(0, rangeUs)(random)));
      looper.kill();
      QVERIFY(looper.waitForFinished(30000));
      QVERIFY2(looper.exitStatus() == QProcess::CrashExit, looper.readAllStandardError().data());
      const bool hit = looper.readAllStandardOutput().endsWith("saving\n");
      inSave += hit;
      rangeUs = hit ? rangeUs * 21 / 20 : std::max<qint64>(rangeUs * 9 / 10, 200);

      const QByteArray now = readFile(kDataFileName);
      QVERIFY2(now == without || now == withAdded,
               qPrintable(u"kill %1 left %2 bytes"_qs.arg(kills).arg(now.size())));
      // A kill between the temporary file's naming and its rename leaves it: the next start
      // removes it and nothing else.
      const QStringList stray = strayFiles(folder);
      if (!stray.isEmpty()) {
        QCOMPARE(RecordStore(workFile).RemoveStaleSaveFiles(), int(stray.size()));
        QCOMPARE(strayFiles(folder), QStringList());
        QCOMPARE(readFile(kDataFileName), now);
      }
    }
    // Most kills fell inside a save, whatever the machine's load.
    QVERIFY(inSave >= kills / 4);
    // The lock file a killed copy left is taken over.
    RecordStore after(workFile);
    after.SortFile();
    const SaveResult saved = after.SaveAll();
    QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().reason));
  }

  void staleSaveFiles() {
    TestEnvironment env;
    writeFile(kDataFileName, "\"A\"\r\n");
    const QStringList stale = {u"TAVELIN.FIL.aB3xYz"_qs, u"TAVELIN.FIL.000000"_qs};
    const QStringList kept = {u"TAVELIN.FIL.abcdefg"_qs, u"TAVELIN.FIL.ab-cde"_qs,
                              u"TAVELIN.FIL.abcde"_qs,   u"TAVELIN.BAK.aB3xYz"_qs,
                              u"tavelin.fil.aB3xYz"_qs,  u"TAVELIN.FILaB3xYzz"_qs,
                              u"xTAVELIN.FIL.aB3xYz"_qs};
    for (const QString& name : stale + kept) writeFile(name, name.toUtf8());
    QVERIFY(QDir().mkdir(u"TAVELIN.FIL.Folder"_qs));
    QVERIFY(QFile::link(u"TAVELIN.BAK.aB3xYz"_qs, u"TAVELIN.FIL.Linked"_qs));
    RecordStore store(env.configRoot() + u"/work.tmp"_qs);

    // While another copy saves, its temporary file is in use.
    {
      QLockFile other(RecordStore::lockFilePath(kDataFileName));
      QVERIFY(other.tryLock(0));
      QCOMPARE(store.RemoveStaleSaveFiles(), 0);
      for (const QString& name : stale) QVERIFY(QFileInfo::exists(name));
    }
    QCOMPARE(store.RemoveStaleSaveFiles(), int(stale.size()));
    for (const QString& name : stale) QVERIFY2(!QFileInfo::exists(name), qPrintable(name));
    for (const QString& name : kept) QCOMPARE(readFile(name), name.toUtf8());
    QVERIFY(QFileInfo(u"TAVELIN.FIL.Folder"_qs).isDir());
    QVERIFY(QFileInfo(u"TAVELIN.FIL.Linked"_qs).isSymLink());
    QCOMPARE(readFile(kDataFileName), QByteArray("\"A\"\r\n"));
  }

  void lockFiles_data() {
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

  void lockFiles() {
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
  void whyNotTaken() {
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
};

QTEST_GUILESS_MAIN(CrashSafetyTest)
#include "test_crash_safety.moc"
