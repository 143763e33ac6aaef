// A copy killed at any moment of a save leaves the data file whole: the old content or the
// new, and no temporary file that the next start does not clear away.
#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTest>
#include <chrono>
#include <random>
#include <thread>

#include "record_store/record_store.h"
#include "support/test_env.h"

using namespace tavelin;

namespace {

QString recordLine(const QString& name) {
  QString line =
      QLatin1Char('"') + name + QStringLiteral("\",\"555-") + name.right(4) + QLatin1Char('"');
  for (int k = 2; k < 14; ++k) line += QStringLiteral(",\"\"");
  return line;
}

// What the folder holds besides the data file and its lock file.
QStringList strayFiles(const QDir& folder) {
  QStringList names = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  names.removeAll(kDataFileName);
  // The lock a killed copy left, and the ones QLockFile takes to remove such a lock (".rmlock",
  // ".rmlock.rmlock" ...): each is seen as stale by the next copy.
  names.removeIf([](const QString& name) {
    return name.startsWith(RecordStore::lockFilePath(kDataFileName)) &&
           name.mid(RecordStore::lockFilePath(kDataFileName).size())
               .remove(QStringLiteral(".rmlock"))
               .isEmpty();
  });
  return names;
}

}  // namespace

class CrashSafetyTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void killedSaves();
  void staleSaveFiles();
  void emptyLockFile();
};

void CrashSafetyTest::killedSaves() {
  test::TestEnvironment env;
  const QString workFile = env.configRoot() + QStringLiteral("/work.tmp");
  QByteArray raw;
  for (int i = 0; i < 14999; ++i) {
    raw += recordLine(QStringLiteral("Name %1").arg(i, 5, 10, QLatin1Char('0'))).toUtf8() + "\r\n";
  }
  test::writeFile(kDataFileName, raw);
  const QString added = recordLine(QStringLiteral("Added Name"));

  // The two contents a save can leave, as the store writes them; and how long a round takes.
  RecordStore store(workFile);
  QElapsedTimer round;
  round.start();
  store.SortFile();
  QVERIFY(!store.SaveAll(added));
  const QByteArray withAdded = test::readFile(kDataFileName);
  store.SortFile();
  int row = 0;
  while (row < store.rowCount() && store.BuildRecordLine(row) != added) ++row;
  QVERIFY(!store.SaveRest(row));
  const QByteArray without = test::readFile(kDataFileName);
  const qint64 roundMs = std::max<qint64>(round.elapsed(), 2);
  QCOMPARE(withAdded.size(), without.size() + added.toUtf8().size() + 2);

  qInfo("one round of load and save: %lld ms", roundMs);
  std::mt19937 random(20261206);
  // Kills fall anywhere in the first round of saves after the first load.
  std::uniform_int_distribution<qint64> delayUs(0, roundMs * 1000);
  const QDir folder(env.workDir());
  int kills = 0, olds = 0, news = 0, inSave = 0, staleFiles = 0;
  for (; kills < 200; ++kills) {
    QProcess looper;
    looper.setWorkingDirectory(env.workDir());
    looper.start(QStringLiteral(SAVE_LOOPER), {workFile, added});
    QVERIFY2(looper.waitForReadyRead(30000), qPrintable(looper.readAllStandardError()));
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    looper.kill();
    QVERIFY(looper.waitForFinished(30000));
    QVERIFY2(looper.exitStatus() == QProcess::CrashExit,
             qPrintable(QStringLiteral("the looper ended by itself: ") +
                        QString::fromLocal8Bit(looper.readAllStandardError())));
    inSave += looper.readAllStandardOutput().endsWith("saving\n");

    const QByteArray now = test::readFile(kDataFileName);
    QVERIFY2(now == without || now == withAdded,
             qPrintable(QStringLiteral("kill %1 left %2 bytes, not %3 or %4")
                            .arg(kills)
                            .arg(now.size())
                            .arg(without.size())
                            .arg(withAdded.size())));
    (now == without ? olds : news)++;
    // A kill between the temporary file's naming and its rename leaves it: the next start
    // removes it and nothing else.
    const QStringList stray = strayFiles(folder);
    if (!stray.isEmpty()) {
      RecordStore next(workFile);
      QCOMPARE(next.RemoveStaleSaveFiles(), int(stray.size()));
      staleFiles += int(stray.size());
      QCOMPARE(strayFiles(folder), QStringList());
      QCOMPARE(test::readFile(kDataFileName), now);
    }
  }
  qInfo(
      "%d kills, %d in the middle of a save: %d left the old file, %d the new one, %d stale "
      "temporary files removed",
      kills, inSave, olds, news, staleFiles);
  // Most kills fell inside a save, whatever the machine's load.
  QVERIFY(inSave >= kills / 4);
  // The lock file a killed copy left is taken over.
  RecordStore after(workFile);
  after.SortFile();
  const auto error = after.SaveAll();
  QVERIFY2(
      !error,
      qPrintable(error ? error->reason + u" (lock file: " +
                             QString::fromLatin1(
                                 test::readFile(RecordStore::lockFilePath(kDataFileName)).toHex()) +
                             u')'
                       : QString()));
}

void CrashSafetyTest::staleSaveFiles() {
  test::TestEnvironment env;
  test::writeFile(kDataFileName, "\"A\"\r\n");
  const QStringList stale = {u"TAVELIN.FIL.aB3xYz"_qs, u"TAVELIN.FIL.000000"_qs};
  const QStringList kept = {u"TAVELIN.FIL.abcdefg"_qs, u"TAVELIN.FIL.ab-cde"_qs,
                            u"TAVELIN.FIL.abcde"_qs,   u"TAVELIN.BAK.aB3xYz"_qs,
                            u"tavelin.fil.aB3xYz"_qs,  u"TAVELIN.FILaB3xYzz"_qs,
                            u"xTAVELIN.FIL.aB3xYz"_qs, u"TAVELIN.FIL.lock"_qs};
  for (const QString& name : stale + kept) test::writeFile(name, name.toUtf8());
  QVERIFY(QDir().mkdir(u"TAVELIN.FIL.Folder"_qs));
  QVERIFY(QFile::link(u"TAVELIN.BAK.aB3xYz"_qs, u"TAVELIN.FIL.Linked"_qs));
  RecordStore store(env.configRoot() + u"/work.tmp"_qs);

  // While another copy saves, its temporary file is in use.
  QFile::remove(u"TAVELIN.FIL.lock"_qs);
  {
    QLockFile other(RecordStore::lockFilePath(kDataFileName));
    QVERIFY(other.tryLock(0));
    QCOMPARE(store.RemoveStaleSaveFiles(), 0);
    for (const QString& name : stale) QVERIFY(QFileInfo::exists(name));
  }
  QCOMPARE(store.RemoveStaleSaveFiles(), int(stale.size()));
  for (const QString& name : stale) QVERIFY2(!QFileInfo::exists(name), qPrintable(name));
  for (const QString& name : kept) {
    if (name.endsWith(u".lock"_qs)) continue;
    QCOMPARE(test::readFile(name), name.toUtf8());
  }
  QVERIFY(QFileInfo(u"TAVELIN.FIL.Folder"_qs).isDir());
  QVERIFY(QFileInfo(u"TAVELIN.FIL.Linked"_qs).isSymLink());
  QCOMPARE(test::readFile(kDataFileName), QByteArray("\"A\"\r\n"));
}

// A copy killed between creating the lock file and writing its name into it leaves it empty;
// QLockFile alone would wait 30 seconds for such a lock.
void CrashSafetyTest::emptyLockFile() {
  test::TestEnvironment env;
  const QByteArray old = "\"A\"\r\n";
  test::writeFile(kDataFileName, old);
  RecordStore store(env.configRoot() + u"/work.tmp"_qs);
  store.lockWaitMs = 0;
  store.SortFile();
  const QString lockPath = RecordStore::lockFilePath(kDataFileName);

  // Just created: a live copy may be about to write its name.
  test::writeFile(lockPath, {});
  const auto error = store.SaveAll(u"\"B\""_qs);
  QVERIFY(error && error->reason.contains(lockPath));
  QCOMPARE(test::readFile(kDataFileName), old);

  // Older than that: abandoned, taken over.
  QFile lock(lockPath);
  QVERIFY(lock.open(QIODevice::ReadWrite));
  QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-2),
                           QFileDevice::FileModificationTime));
  lock.close();
  QVERIFY(!store.SaveAll(u"\"B\""_qs));
  QCOMPARE(test::readFile(kDataFileName), QByteArray("\"A\"\r\n\"B\"\r\n"));
  QVERIFY(!QFileInfo::exists(lockPath));

  // Cut short while its name was written: abandoned as well.
  for (const QByteArray& partial : {QByteArray("12"), QByteArray("\n\n")}) {
    test::writeFile(lockPath, partial);
    QFile cut(lockPath);
    QVERIFY(cut.open(QIODevice::ReadWrite));
    QVERIFY(cut.setFileTime(QDateTime::currentDateTime().addSecs(-2),
                            QFileDevice::FileModificationTime));
    cut.close();
    store.SortFile();
    QVERIFY2(!store.SaveAll(u"\"P\""_qs), partial.constData());
    QVERIFY(!QFileInfo::exists(lockPath));
  }

  // A dead copy's lock, with the lock that guards its removal left nameless by a copy killed
  // while it cleared it: both are taken over.
  QVERIFY(test::leaveLockOfDeadProcess(lockPath));
  const QString removing = lockPath + u".rmlock"_qs;
  test::writeFile(removing, {});
  QFile guard(removing);
  QVERIFY(guard.open(QIODevice::ReadWrite));
  QVERIFY(guard.setFileTime(QDateTime::currentDateTime().addSecs(-2),
                            QFileDevice::FileModificationTime));
  guard.close();
  store.SortFile();
  store.lockWaitMs = 1000;
  QVERIFY(!store.SaveAll(u"\"R\""_qs));
  QVERIFY(!QFileInfo::exists(lockPath));
  store.lockWaitMs = 0;

  // A lock that names a live copy is never taken, however old.
  QLockFile live(lockPath);
  QVERIFY(live.tryLock(0));
  QFile held(lockPath);
  QVERIFY(held.open(QIODevice::ReadWrite));
  QVERIFY(held.setFileTime(QDateTime::currentDateTime().addSecs(-2),
                           QFileDevice::FileModificationTime));
  held.close();
  QVERIFY(store.SaveAll(u"\"C\""_qs).has_value());
}

QTEST_GUILESS_MAIN(CrashSafetyTest)
#include "test_crash_safety.moc"
