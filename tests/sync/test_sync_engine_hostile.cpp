// Whole syncs against a scripted server's odd or hostile answers: an unknown token, broken XML,
// a failed upload, a card of 100,000 properties. Each sync ends, and nothing here is lost.
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QTest>

#include "carddav_wait.h"
#include "fake_http_server.h"
#include "record_store/record_store.h"
#include "support/test_env.h"
#include "sync/card_merge.h"
#include "sync/sync_engine.h"

using namespace tavelin;
using namespace tavelin::sync;
using namespace tavelin::test;
using Answer = FakeHttpServer::Answer;

Q_DECLARE_METATYPE(DavOutcome)

namespace {

QByteArray gone(const QByteArray& href) {
  return "<d:response><d:href>" + href +
         "</d:href><d:status>HTTP/1.1 404 Not Found</d:status></d:response>";
}

FieldTexts named(const QString& name) {
  FieldTexts f;
  f[0] = name;
  return f;
}

const QByteArray kAnnHref = "/ann/book/a.vcf";

}  // namespace

class SyncEngineHostileTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init();
  void cleanup();
  void tokenAnswers_data();
  void tokenAnswers();
  void nothingChangedIsOneRequest();
  void cardsWithTheChanges_data();
  void cardsWithTheChanges();
  void stateDamagedPastItsToken();
  void failedUploadRetriedOnItsAddress();
  void cardOfManyProperties();
  void dataFileGone_data();
  void dataFileGone();

 private:
  // Ann, synced with token t1.
  void syncedBook(bool withAnn = true);
  SyncOutcome sync(const DavLimits& limits = {});
  QStringList localNames();
  int localCount() { return int(localNames().size()); }
  int requests(const QByteArray& method, const QByteArray& bodyPart = {}) const;

  QNetworkAccessManager network_;
  std::unique_ptr<FakeHttpServer> server_;
  std::unique_ptr<TestEnvironment> env_;
};

void SyncEngineHostileTest::init() {
  env_ = std::make_unique<TestEnvironment>();
  server_ = std::make_unique<FakeHttpServer>();
}

void SyncEngineHostileTest::cleanup() {
  server_.reset();
  env_.reset();
}

void SyncEngineHostileTest::syncedBook(bool withAnn) {
  const QString ann = fieldsLine(named(u"Ann Lee"_qs));
  writeFile(kDataFileName, ann.toUtf8() + "\r\n");
  SyncState state;
  state.collection = server_->url(u"/ann/book/"_qs).toString(QUrl::FullyEncoded);
  state.syncToken = u"t1"_qs;
  if (withAnn) {
    SyncedContact c;
    c.uid = u"a"_qs;
    c.href = QString::fromLatin1(kAnnHref);
    c.etag = "\"1\"";
    c.card = newCard(named(u"Ann Lee"_qs), c.uid);
    c.line = ann;
    state.put(c);
  }
  QVERIFY(!writeSyncState(syncStatePath(kDataFileName), state));
}

SyncOutcome SyncEngineHostileTest::sync(const DavLimits& limits) {
  CardDavClient client(network_, davAccount(server_->url(u"/ann/book/"_qs)), limits);
  SyncEngine engine(kDataFileName, client);
  std::optional<SyncOutcome> outcome;
  connect(&engine, &SyncRunner::finished, [&outcome](const SyncOutcome& o) { outcome = o; });
  engine.start();
  if (!QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 60'000)) return {};
  return *outcome;
}

QStringList SyncEngineHostileTest::localNames() {
  RecordStore store(env_->workPath(u"work"_qs));
  store.SortFile();
  QStringList names;
  for (int row = 0; row < store.rowCount(); ++row) {
    if (const QStringView name = store.table().value(row, 0); !name.isEmpty()) {
      names << name.toString();
    }
  }
  return names;
}

int SyncEngineHostileTest::requests(const QByteArray& method, const QByteArray& bodyPart) const {
  int count = 0;
  for (const auto& r : server_->received) {
    count += r.method == method && (bodyPart.isEmpty() || r.body.contains(bodyPart));
  }
  return count;
}

void SyncEngineHostileTest::tokenAnswers_data() {
  QTest::addColumn<QByteArray>("status");
  QTest::addColumn<QByteArray>("body");
  QTest::addColumn<DavOutcome>("failure");  // Ok: the sync succeeds
  QTest::addColumn<int>("contacts");        // here afterwards
  QTest::addColumn<QString>("token");       // kept for the next sync

  const QByteArray tokenError =
      "<?xml version=\"1.0\"?><d:error xmlns:d=\"DAV:\"><d:valid-sync-token/></d:error>";
  QTest::newRow("unknown token: one full listing")
      << QByteArray("403 Forbidden") << tokenError << DavOutcome::Ok << 1 << u"t-full"_qs;
  QTest::newRow("unknown token answered with 500: one full listing")
      << QByteArray("500 Internal Server Error") << QByteArray() << DavOutcome::Ok << 1
      << u"t-full"_qs;
  QTest::newRow("broken XML") << QByteArray("207 Multi-Status")
                              << QByteArray("<d:multistatus xmlns:d=\"DAV:\"><d:response><d:hr")
                              << DavOutcome::BadResponse << 1 << u"t1"_qs;
  QTest::newRow("our card deleted there")
      << QByteArray("207 Multi-Status") << multistatus(gone(kAnnHref), "t2") << DavOutcome::Ok << 0
      << u"t2"_qs;
  QTest::newRow("a removal outside the book")
      << QByteArray("207 Multi-Status") << multistatus(gone("/bob/book/x.vcf"), "t2")
      << DavOutcome::Ok << 1 << u"t2"_qs;
  QTest::newRow("wrong password") << QByteArray("401 Unauthorized") << QByteArray()
                                  << DavOutcome::AuthenticationFailed << 1 << u"t1"_qs;
}

void SyncEngineHostileTest::tokenAnswers() {
  QFETCH(QByteArray, status);
  QFETCH(QByteArray, body);
  QFETCH(DavOutcome, failure);
  QFETCH(int, contacts);
  QFETCH(QString, token);
  syncedBook();
  server_->handler = [&](const FakeHttpServer::Request& r) {
    if (r.body.contains("<d:sync-token>t1</d:sync-token>")) return answer(status, body);
    // Everything, with a new token: Ann as we have her.
    return answer("207 Multi-Status", multistatus(member(kAnnHref, "\"1\""), "t-full"));
  };
  const SyncOutcome o = sync();
  QCOMPARE(o.succeeded, failure == DavOutcome::Ok);
  if (!o.succeeded) {
    QCOMPARE(o.failure.outcome, failure);
    QVERIFY2(o.error.contains(u"127.0.0.1"_qs), qPrintable(o.error));
    QVERIFY(!o.error.contains(u"secret"_qs));
  }
  QCOMPARE(localCount(), contacts);
  QCOMPARE(readSyncState(syncStatePath(kDataFileName)).state.syncToken, token);
  QCOMPARE(requests("REPORT", "addressbook-multiget"), 0);
  QVERIFY(requests("REPORT", "sync-collection") <= 2);
}

void SyncEngineHostileTest::nothingChangedIsOneRequest() {
  syncedBook();
  const QByteArray state = readFile(syncStatePath(kDataFileName));
  const QByteArray data = readFile(kDataFileName);
  const auto written = [](const QString& path) { return QFileInfo(path).lastModified(); };
  const QDateTime stateTime = written(syncStatePath(kDataFileName));
  const QDateTime dataTime = written(kDataFileName);
  server_->handler = [](const FakeHttpServer::Request&) {
    return answer("207 Multi-Status", multistatus({}, "t1"));
  };
  const SyncOutcome o = sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(server_->received.size(), 1);
  QCOMPARE(readFile(syncStatePath(kDataFileName)), state);
  QCOMPARE(readFile(kDataFileName), data);
  QCOMPARE(written(syncStatePath(kDataFileName)), stateTime);  // not even written again
  QCOMPARE(written(kDataFileName), dataTime);
}

void SyncEngineHostileTest::cardsWithTheChanges_data() {
  QTest::addColumn<bool>("sendsCards");  // the server puts the cards asked for in the changes
  QTest::addColumn<int>("padding");      // bytes added to each card
  QTest::addColumn<bool>("goneLater");   // a second part of the changes says Bob is gone
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<int>("multigets");
  const QStringList all{u"Ann Lee"_qs, u"Bob Ray"_qs, u"Cy Oak"_qs};
  QTest::newRow("sent with the changes") << true << 0 << false << all << 0;
  QTest::newRow("left out by the server") << false << 0 << false << all << 2;
  // Over the size an answer may have: the changes again without cards, then in batches.
  QTest::newRow("too large for one answer") << true << 3000 << false << all << 2;
  QTest::newRow("sent, then gone in a later part")
      << true << 0 << true << QStringList{u"Ann Lee"_qs, u"Cy Oak"_qs} << 0;
}

void SyncEngineHostileTest::cardsWithTheChanges() {
  QFETCH(bool, sendsCards);
  QFETCH(int, padding);
  QFETCH(bool, goneLater);
  QFETCH(QStringList, names);
  QFETCH(int, multigets);
  syncedBook();
  const auto card = [&](const QByteArray& uid, const QString& name) {
    FieldTexts f = named(name);
    f[13] = QString(padding, u'n');
    return newCard(f, QString::fromLatin1(uid));
  };
  const QByteArray bob = card("b", u"Bob Ray"_qs);
  const QByteArray cy = card("c", u"Cy Oak"_qs);
  server_->handler = [&](const FakeHttpServer::Request& r) {
    const bool withCards = sendsCards && r.body.contains("address-data");
    const auto bobIfAsked = member("/ann/book/b.vcf", "\"b\"", withCards ? bob : QByteArray());
    const auto cyIfAsked = member("/ann/book/c.vcf", "\"c\"", withCards ? cy : QByteArray());
    if (r.body.contains("addressbook-multiget")) {
      QByteArray found;
      if (r.body.contains("b.vcf")) found += member("/ann/book/b.vcf", "\"b\"", bob);
      if (r.body.contains("c.vcf")) found += member("/ann/book/c.vcf", "\"c\"", cy);
      return answer("207 Multi-Status", multistatus(found));
    }
    if (r.body.contains("<d:sync-token>t1</d:sync-token>") && goneLater) {
      return answer(
          "207 Multi-Status",
          multistatus(bobIfAsked + "<d:response><d:href>/ann/book/</d:href><d:status>HTTP/1.1 "
                                   "507 Insufficient Storage</d:status></d:response>",
                      "t1b"));
    }
    if (r.body.contains("<d:sync-token>t1b</d:sync-token>")) {
      return answer("207 Multi-Status", multistatus(gone("/ann/book/b.vcf") + cyIfAsked, "t2"));
    }
    return answer("207 Multi-Status", multistatus(bobIfAsked + cyIfAsked, "t2"));
  };
  DavLimits limits;
  limits.multigetBatch = 1;
  limits.maxMultigetBytes = 4000;  // one padded card, not two
  const SyncOutcome o = sync(limits);
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(localNames(), names);
  QCOMPARE(requests("REPORT", "addressbook-multiget"), multigets);
  const SyncState state = readSyncState(syncStatePath(kDataFileName)).state;
  QCOMPARE(state.syncToken, u"t2"_qs);
  QCOMPARE(state.contacts.size(), size_t(names.size()));
  for (const SyncedContact& c : state.contacts) QVERIFY(!c.card.isEmpty());
}

void SyncEngineHostileTest::stateDamagedPastItsToken() {
  // The changes since its token are asked for while the contacts are read. Without them, the
  // answer is no use: Ann would go up again as a new card. She is matched in a full listing.
  syncedBook();
  QByteArray state = readFile(syncStatePath(kDataFileName));
  state.chop(3);
  writeFile(syncStatePath(kDataFileName), state);
  server_->handler = [&](const FakeHttpServer::Request& r) {
    if (r.method == "PROPFIND") {
      return answer("207 Multi-Status",
                    multistatus("<d:response><d:href>/ann/book/</d:href><d:propstat><d:prop>"
                                "<d:resourcetype><d:collection/><c:addressbook/></d:resourcetype>"
                                "<d:sync-token>t-full</d:sync-token></d:prop><d:status>HTTP/1.1 "
                                "200 OK</d:status></d:propstat></d:response>"));
    }
    if (r.body.contains("addressbook-multiget")) {
      return answer("207 Multi-Status",
                    multistatus(member(kAnnHref, "\"1\"", newCard(named(u"Ann Lee"_qs), u"a"_qs))));
    }
    if (r.body.contains("<d:sync-token>t1</d:sync-token>")) {
      return answer("207 Multi-Status", multistatus({}, "t2"));
    }
    return answer("207 Multi-Status", multistatus(member(kAnnHref, "\"1\""), "t-full"));
  };
  const SyncOutcome o = sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(requests("PUT"), 0);
  QCOMPARE(localNames(), QStringList{u"Ann Lee"_qs});
  const SyncState after = readSyncState(syncStatePath(kDataFileName)).state;
  QCOMPARE(after.syncToken, u"t-full"_qs);
  QCOMPARE(after.contacts.size(), 1u);
  QCOMPARE(after.contacts[0].href, QString::fromLatin1(kAnnHref));
}

void SyncEngineHostileTest::failedUploadRetriedOnItsAddress() {
  syncedBook(false);
  bool serverDown = true;
  server_->handler = [&](const FakeHttpServer::Request& r) {
    if (r.method == "PUT") {
      if (serverDown) return answer("503 Service Unavailable");
      Answer created = answer("201 Created");
      created.headers.append(std::pair<QByteArray, QByteArray>("ETag", "\"n1\""));
      return created;
    }
    return answer("207 Multi-Status", multistatus({}, "t2"));
  };
  const SyncOutcome failed = sync();
  QVERIFY(!failed.succeeded);
  QVERIFY2(failed.error.contains(u"127.0.0.1"_qs), qPrintable(failed.error));
  QCOMPARE(localCount(), 1);

  serverDown = false;
  const SyncOutcome o = sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(o.summary.addedThere, 1);
  QList<QByteArray> puts;
  for (const auto& r : server_->received) {
    if (r.method != "PUT") continue;
    puts << r.path;
    QCOMPARE(r.headers.value("if-none-match"), QByteArray("*"));
    QCOMPARE(cardFields(r.body), std::optional<FieldTexts>(named(u"Ann Lee"_qs)));
  }
  QCOMPARE(puts.size(), 2);
  QCOMPARE(puts[0], puts[1]);  // the same card at the same address: never a second
  const SyncState state = readSyncState(syncStatePath(kDataFileName)).state;
  QCOMPARE(state.contacts.size(), 1u);
  QCOMPARE(state.contacts[0].etag, QByteArray("\"n1\""));
  QCOMPARE(state.contacts[0].pending, SyncedContact::Pending::None);
}

void SyncEngineHostileTest::cardOfManyProperties() {
  syncedBook();
  QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:m\r\nFN:Many\r\n";
  for (int i = 0; i < 100'000; ++i) card += "X-A:1\r\n";
  card += "END:VCARD\r\n";
  server_->handler = [&](const FakeHttpServer::Request& r) {
    if (r.body.contains("addressbook-multiget")) {
      return answer("207 Multi-Status", multistatus(member("/ann/book/m.vcf", "\"m\"", card)));
    }
    return answer("207 Multi-Status", multistatus(member("/ann/book/m.vcf", "\"m\""), "t2"));
  };
  const SyncOutcome o = sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(localCount(), 1);  // a card nobody could read is not taken
  QVERIFY(!readSyncState(syncStatePath(kDataFileName)).state.findHref(u"/ann/book/m.vcf"_qs));
}

void SyncEngineHostileTest::dataFileGone_data() {
  QTest::addColumn<bool>("folder");
  QTest::addColumn<QString>("why");
  QTest::newRow("missing") << false << u"TAVELIN.FIL is missing"_qs;
  QTest::newRow("a folder in its place") << true << u"the data file cannot be read: "_qs;
}

void SyncEngineHostileTest::dataFileGone() {
  // Every contact would read as deleted here: the server is told nothing.
  QFETCH(bool, folder);
  QFETCH(QString, why);
  syncedBook();
  QVERIFY(QFile::remove(kDataFileName));
  if (folder) QVERIFY(QDir().mkdir(kDataFileName));
  const QByteArray state = readFile(syncStatePath(kDataFileName));
  server_->handler = [](const FakeHttpServer::Request&) {
    return answer("207 Multi-Status", multistatus({}, "t2"));
  };
  const SyncOutcome o = sync();
  QVERIFY(!o.succeeded);
  QVERIFY2(o.error.contains(why), qPrintable(o.error));
  QCOMPARE(requests("DELETE"), 0);
  QCOMPARE(requests("PUT"), 0);
  QCOMPARE(readFile(syncStatePath(kDataFileName)), state);
}

QTEST_GUILESS_MAIN(SyncEngineHostileTest)
#include "test_sync_engine_hostile.moc"
