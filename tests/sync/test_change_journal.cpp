// The journal of edits a synced book keeps between syncs: the replaced and removed lines of
// each save in order, nothing for a book that is not synced, damage left out.
#include <QTest>

#include "support/test_env.h"
#include "sync/change_journal.h"
#include "sync/sync_state.h"

using namespace tavelin;
using namespace tavelin::sync;
using namespace tavelin::test;

class ChangeJournalTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void notesEditsInOrder();
  void damaged_data();
  void damaged();
};

void ChangeJournalTest::notesEditsInOrder() {
  TestEnvironment env;
  const QString data = env.workPath(u"TAVELIN.FIL"_qs);
  const QString journal = changeJournalPath(data);
  ChangeJournal listener(data);
  ChangeSet rename;
  rename.replaced.append({u"\"Ann\",\"1\""_qs, u"\"Ann Q Lee\",\"1\""_qs});
  listener.changesApplied(rename);
  QVERIFY2(!QFile::exists(journal), "a book never synced keeps no journal");

  writeFile(syncStatePath(data), formatSyncState({}));
  ChangeSet import;
  import.added = QStringList{u"\"New\""_qs};
  listener.changesApplied(import);
  QVERIFY2(!QFile::exists(journal), "added lines belong to no card");
  listener.changesApplied(rename);
  ChangeSet mixed;
  mixed.added = QStringList{u"\"Other\""_qs};
  mixed.removed = QStringList{u"\"Bo\u00e9\u2028\""_qs};
  mixed.replaced.append({u"\"Cy\""_qs, u"\"Cy\",\"2\""_qs});
  listener.changesApplied(mixed);

  ChangeSet noted = mixed;
  noted.added.clear();
  QCOMPARE(readChangeJournal(journal), (std::vector<ChangeSet>{rename, noted}));
  QVERIFY(clearChangeJournal(journal));
  QVERIFY(readChangeJournal(journal).empty());
  QVERIFY(clearChangeJournal(journal));
}

void ChangeJournalTest::damaged_data() {
  QTest::addColumn<QByteArray>("middle");
  QTest::newRow("torn") << QByteArray(R"({"replaced":[["a","b"]],"remo)");
  QTest::newRow("not json") << QByteArray("\x00\xff garbage");
  QTest::newRow("pair of one") << QByteArray(R"({"replaced":[["a"]],"removed":[]})");
  QTest::newRow("number for a line") << QByteArray(R"({"replaced":[],"removed":["a",7]})");
  QTest::newRow("array") << QByteArray(R"([["a","b"]])");
  QTest::newRow("empty note") << QByteArray(R"({"replaced":[],"removed":[]})");
}

void ChangeJournalTest::damaged() {
  QFETCH(QByteArray, middle);
  TestEnvironment env;
  const QString journal = env.workPath(u"j"_qs);
  writeFile(journal, R"({"replaced":[["a","b"]],"removed":[]})"
                     "\n" +
                         middle + "\n" + R"({"replaced":[],"removed":["c"]})");
  const std::vector<ChangeSet> notes = readChangeJournal(journal);
  QCOMPARE(notes.size(), 2u);
  QCOMPARE(notes[0].replaced.value(0).after, u"b"_qs);
  QCOMPARE(notes[1].removed, QStringList{u"c"_qs});

  // A sync takes out the notes it read; damage among them goes too, later notes stay.
  QVERIFY(dropChangeJournalNotes(journal, 1));
  const std::vector<ChangeSet> left = readChangeJournal(journal);
  QCOMPARE(left.size(), 1u);
  QCOMPARE(left[0].removed, QStringList{u"c"_qs});
  QVERIFY(dropChangeJournalNotes(journal, 1));
  QVERIFY(!QFile::exists(journal));
}

QTEST_GUILESS_MAIN(ChangeJournalTest)
#include "test_change_journal.moc"
