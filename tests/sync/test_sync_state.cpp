// The sync state file: what is written reads back the same, damage is left out rather than
// trusted, and the write replaces the file whole or not at all.
#include <QCborStreamWriter>
#include <QDir>
#include <QTest>

#include "support/test_env.h"
#include "sync/sync_state.h"

using namespace tavelin::sync;

namespace {

SyncState sample() {
  SyncState state;
  state.collection = u"https://dav.example.org/ann/book/"_qs;
  state.syncToken = u"http://radicale.org/ns/sync/abc"_qs;
  state.put({u"uid-b"_qs, u"/ann/book/b.vcf"_qs, "\"2\"",
             "BEGIN:VCARD\r\nUID:uid-b\r\nFN:B\xc3\xa9\r\nEND:VCARD\r\n", u"\"B\u00e9\",\"\""_qs,
             SyncedContact::Pending::Upload});
  state.put({u"uid-a"_qs, u"/ann/book/a%20x.vcf"_qs, "\"1\"", QByteArray("\x00\xff\r\n", 4),
             u"\"A\",\"1\""_qs, SyncedContact::Pending::Removal});  // any bytes at all
  return state;
}

// A state file as a write of ours lays it out, with the parts a test wants to spoil.
struct CborEntry {
  QVariant uid = QStringLiteral("u");
  QString href = QStringLiteral("/b/u.vcf");
  QByteArray etag = "\"1\"";
  quint64 pending = 0;
  quint64 fields = 6;
};
QByteArray cborFile(const std::vector<CborEntry>& entries, quint64 version = 2) {
  QByteArray bytes;
  QCborStreamWriter out(&bytes);
  out.append(QCborTag(55799));
  out.startArray(4);
  out.append(version);
  out.append(u"https://h/b/"_qs);
  out.append(u"t"_qs);
  out.startArray(entries.size());
  for (const CborEntry& entry : entries) {
    out.startArray(entry.fields);
    if (entry.uid.typeId() == QMetaType::QString) {
      out.append(entry.uid.toString());
    } else {
      out.append(entry.uid.toInt());
    }
    out.append(entry.href);
    out.append(entry.etag);
    out.append(QByteArray("BEGIN"));
    out.append(u"\"U\""_qs);
    if (entry.fields == 6) out.append(entry.pending);
    out.endArray();
  }
  out.endArray();
  out.endArray();
  return bytes;
}

}  // namespace

class SyncStateTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void contactsByHref() {
    SyncState state = sample();
    QCOMPARE(state.contacts[0].href, u"/ann/book/a%20x.vcf"_qs);  // kept in order
    QVERIFY(state.findHref(u"/ann/book/b.vcf"_qs));
    QVERIFY(!state.findHref(u"/ann/book/c.vcf"_qs));
    state.put({u"uid-b2"_qs, u"/ann/book/b.vcf"_qs, "\"3\"", "x", {}, {}});
    QCOMPARE(state.contacts.size(), 2u);
    QCOMPARE(state.findHref(u"/ann/book/b.vcf"_qs)->uid, u"uid-b2"_qs);
    QVERIFY(state.removeHref(u"/ann/book/a%20x.vcf"_qs));
    QVERIFY(!state.removeHref(u"/ann/book/a%20x.vcf"_qs));
    QCOMPARE(state.contacts.size(), 1u);
  }
  void damaged_data();
  void damaged() {
    QFETCH(QByteArray, text);
    QFETCH(int, contacts);
    QFETCH(QString, token);
    const SyncState state = parseSyncState(text);
    QCOMPARE(static_cast<int>(state.contacts.size()), contacts);
    QCOMPARE(state.syncToken, token);
    if (contacts == 1) QCOMPARE(state.contacts[0].uid, u"u"_qs);
    QCOMPARE(parseSyncState(formatSyncState(state)), state);
  }
  void truncatedAnywhere() {
    // Some contacts without the others would send those others up again as new cards.
    const QByteArray whole = formatSyncState(sample());
    SyncState head = sample();
    head.contacts.clear();
    QCOMPARE(peekSyncState(whole), head);
    for (qsizetype size = 0; size < whole.size(); ++size) {
      QCOMPARE(parseSyncState(whole.first(size)), SyncState{});
      // The head, once whole, is read the same from any longer part; never another token.
      const SyncState peeked = peekSyncState(whole.first(size));
      QVERIFY(peeked == SyncState{} || peeked == head);
    }
  }
  // What is written reads back the same, and a missing file is an empty state.
  void roundTrip() {
    const QByteArray text = formatSyncState(sample());
    QCOMPARE(parseSyncState(text), sample());
    QCOMPARE(formatSyncState(parseSyncState(text)), text);
    QCOMPARE(parseSyncState(formatSyncState({})), SyncState{});
    tavelin::test::TestEnvironment env;
    const QString path = syncStatePath(env.workPath(u"TAVELIN.FIL"_qs));
    const SyncStateRead missing = readSyncState(path);
    QVERIFY(missing.error.isEmpty());
    QCOMPARE(missing.state, SyncState{});
    QVERIFY(!writeSyncState(path, sample()));
    const SyncStateRead read = readSyncState(path);
    QVERIFY(read.error.isEmpty());
    QCOMPARE(read.state, sample());
    QCOMPARE(QDir(env.workDir()).entryList(QDir::Files), QStringList{u"TAVELIN.FIL.sync"_qs});

    QVERIFY(QDir(env.workDir()).mkdir(u"folder.sync"_qs));
    const SyncStateRead folder = readSyncState(env.workPath(u"folder.sync"_qs));
    QVERIFY(!folder.error.isEmpty());
    QVERIFY(writeSyncState(env.workPath(u"absent/x.sync"_qs), sample()).has_value());
  }
};

// Out of the class: moc reads raw string literals badly.
void SyncStateTest::damaged_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<int>("contacts");  // what is left
  QTest::addColumn<QString>("token");
  const QByteArray good = R"({"uid":"u","href":"/b/u.vcf","etag":"\"1\"","card":"QkVHSU4="})";
  const auto file = [](const QByteArray& contacts) -> QByteArray {
    return R"({"version":1,"collection":"https://h/b/","syncToken":"t","contacts":[)" + contacts +
           "]}";
  };
  QTest::newRow("whole") << file(good) << 1 << "t";
  QTest::newRow("truncated") << file(good).chopped(3) << 0 << "";
  QTest::newRow("empty") << QByteArray() << 0 << "";
  QTest::newRow("not json") << QByteArray("UID:x\r\n") << 0 << "";
  QTest::newRow("array root") << QByteArray("[1,2]") << 0 << "";
  QTest::newRow("later version") << QByteArray(file(good)).replace("\"version\":1", "\"version\":2")
                                 << 0 << "";
  QTest::newRow("no uid") << file(R"({"href":"/b/u.vcf","card":""})") << 0 << "t";
  QTest::newRow("no href") << file(R"({"uid":"u","card":""})") << 0 << "t";
  QTest::newRow("bad base64") << file(R"({"uid":"u","href":"/b/u.vcf","card":"@@@"})") << 0 << "t";
  QTest::newRow("numbers for texts")
      << file(R"({"uid":5,"href":"/b/u.vcf","card":""})") << 0 << "t";
  QTest::newRow("entry not object") << file("17," + good) << 1 << "t";
  QTest::newRow("same href twice")
      << file(good + "," + QByteArray(good).replace("\"u\"", "\"v\"")) << 1 << "t";
  QTest::newRow("lone surrogate") << file(R"({"uid":"\ud800","href":"/b/u.vcf","card":""})") << 0
                                  << "t";
  QTest::newRow("binary: whole") << cborFile({{}}) << 1 << "t";
  QTest::newRow("binary: trailing bytes") << cborFile({{}}) + "x" << 0 << "";
  QTest::newRow("binary: later version") << cborFile({{}}, 3) << 0 << "";
  QTest::newRow("binary: no uid") << cborFile({{QString()}, {}}) << 1 << "t";
  QTest::newRow("binary: number for uid") << cborFile({{5}}) << 0 << "";
  QTest::newRow("binary: entry of five") << cborFile({{.fields = 5}}) << 0 << "";
  QTest::newRow("binary: unknown pending") << cborFile({{.pending = 3}}) << 0 << "t";
  QTest::newRow("binary: same href twice") << cborFile({{}, {u"v"_qs}}) << 1 << "t";
  // A card whose length says more than the file holds: nothing is made room for.
  QTest::newRow("binary: length past the end") << cborFile({{}}).replace(QByteArray("\x45"
                                                                                    "BEGIN"),
                                                                         QByteArray(9, '\x5b'))
                                               << 0 << "";
  QTest::newRow("binary: over-long etag")
      << cborFile({{.etag = QByteArray(9000, 'e')}}) << 0 << "t";
  QTest::newRow("over-long token")
      << QByteArray(file(good)).replace("\"t\"", QByteArray("\"" + QByteArray(9000, 't') + "\""))
      << 1 << "";
}

QTEST_GUILESS_MAIN(SyncStateTest)
#include "test_sync_state.moc"
