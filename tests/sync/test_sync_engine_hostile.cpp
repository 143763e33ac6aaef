// Whole syncs against a scripted server's odd or hostile answers: an unknown token, broken XML,
// a failed upload, a card of 100,000 properties. Each sync ends, and nothing here is lost.
#include <QDir>
#include <QFileInfo>

#include "fake_http_server.h"
#include "sync_fixture.h"

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

const QByteArray kAnnHref = "/ann/book/a.vcf";

}  // namespace

class SyncEngineHostileTest : public QObject {
  Q_OBJECT

  // Ann, synced with token t1 (or not yet sent), and a fixture to sync her.
  std::unique_ptr<SyncFixture> syncedBook(bool sent = true) {
    const QString ann = fieldsLine(person(u"Ann Lee"_qs));
    writeFile(kDataFileName, ann.toUtf8() + "\r\n");
    SyncState state;
    state.collection = server_->url(u"/ann/book/"_qs).toString(QUrl::FullyEncoded);
    state.syncToken = u"t1"_qs;
    if (sent) {
      state.put({u"a"_qs, QString::fromLatin1(kAnnHref), "\"1\"",
                 newCard(person(u"Ann Lee"_qs), u"a"_qs), ann, SyncedContact::Pending::None});
    }
    if (writeSyncState(syncStatePath(kDataFileName), state)) return nullptr;
    return std::make_unique<SyncFixture>(network_, server_->url(u"/ann/book/"_qs));
  }
  int requests(const QByteArray& method, const QByteArray& bodyPart = {}) const {
    int count = 0;
    for (const auto& r : server_->received) {
      count += r.method == method && (bodyPart.isEmpty() || r.body.contains(bodyPart));
    }
    return count;
  }

  QNetworkAccessManager network_;
  std::unique_ptr<FakeHttpServer> server_;
  std::unique_ptr<TestEnvironment> env_;

 private Q_SLOTS:
  void init() {
    env_ = std::make_unique<TestEnvironment>();
    server_ = std::make_unique<FakeHttpServer>();
  }
  void cleanup() {
    server_.reset();
    env_.reset();
  }

  void tokenAnswers_data() {
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<DavOutcome>("failure");  // Ok: the sync succeeds
    QTest::addColumn<int>("contacts");        // here afterwards
    QTest::addColumn<QString>("token");       // kept for the next sync
    const auto row = [](const char* name, const char* status, const QByteArray& body,
                        DavOutcome failure, int contacts, const QString& token) {
      QTest::newRow(name) << QByteArray(status) << body << failure << contacts << token;
    };
    row("unknown token: one full listing", "403 Forbidden",
        "<?xml version=\"1.0\"?><d:error xmlns:d=\"DAV:\"><d:valid-sync-token/></d:error>",
        DavOutcome::Ok, 1, u"t-full"_qs);
    row("unknown token answered with 500: one full listing", "500 Internal Server Error", {},
        DavOutcome::Ok, 1, u"t-full"_qs);
    row("broken XML", "207 Multi-Status", "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:hr",
        DavOutcome::BadResponse, 1, u"t1"_qs);
    row("our card deleted there", "207 Multi-Status", multistatus(gone(kAnnHref), "t2"),
        DavOutcome::Ok, 0, u"t2"_qs);
    row("a removal outside the book", "207 Multi-Status",
        multistatus(gone("/bob/book/x.vcf"), "t2"), DavOutcome::Ok, 1, u"t2"_qs);
    row("wrong password", "401 Unauthorized", {}, DavOutcome::AuthenticationFailed, 1, u"t1"_qs);
  }
  void tokenAnswers() {
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, body);
    QFETCH(DavOutcome, failure);
    QFETCH(int, contacts);
    QFETCH(QString, token);
    auto f = syncedBook();
    QVERIFY(f);
    server_->handler = [&](const FakeHttpServer::Request& r) {
      if (r.body.contains("<d:sync-token>t1</d:sync-token>")) return answer(status, body);
      // Everything, with a new token: Ann as we have her.
      return answer("207 Multi-Status", multistatus(member(kAnnHref, "\"1\""), "t-full"));
    };
    const SyncOutcome o = f->sync();
    QCOMPARE(o.succeeded, failure == DavOutcome::Ok);
    if (!o.succeeded) {
      QCOMPARE(o.failure.outcome, failure);
      QVERIFY2(o.error.contains(u"127.0.0.1"_qs), qPrintable(o.error));
      QVERIFY(!o.error.contains(u"secret"_qs));
    }
    QCOMPARE(f->localCount(), contacts);
    QCOMPARE(readSyncState(syncStatePath(kDataFileName)).state.syncToken, token);
    QCOMPARE(requests("REPORT", "addressbook-multiget"), 0);
    QVERIFY(requests("REPORT", "sync-collection") <= 2);
  }

  void nothingChangedIsOneRequest() {
    auto f = syncedBook();
    QVERIFY(f);
    const QString paths[] = {syncStatePath(kDataFileName), kDataFileName};
    QByteArray bytes[2];
    QDateTime written[2];
    for (int i : {0, 1}) {
      bytes[i] = readFile(paths[i]);
      written[i] = QFileInfo(paths[i]).lastModified();
    }
    server_->answerAlways(answer("207 Multi-Status", multistatus({}, "t1")));
    const SyncOutcome o = f->sync();
    QVERIFY2(o.succeeded, qPrintable(o.error));
    QCOMPARE(server_->received.size(), 1);
    for (int i : {0, 1}) {
      QCOMPARE(readFile(paths[i]), bytes[i]);
      QCOMPARE(QFileInfo(paths[i]).lastModified(), written[i]);  // not even written again
    }
  }

  void cardsWithTheChanges_data() {
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
  void cardsWithTheChanges() {
    QFETCH(bool, sendsCards);
    QFETCH(int, padding);
    QFETCH(bool, goneLater);
    QFETCH(QStringList, names);
    QFETCH(int, multigets);
    auto f = syncedBook();
    QVERIFY(f);
    const auto card = [&](const char* uid, const QString& name) {
      FieldTexts fields = person(name);
      fields[13] = QString(padding, u'n');
      return newCard(fields, QString::fromLatin1(uid));
    };
    const QByteArray bob = card("b", u"Bob Ray"_qs);
    const QByteArray cy = card("c", u"Cy Oak"_qs);
    server_->handler = [&](const FakeHttpServer::Request& r) {
      const bool withCards = sendsCards && r.body.contains("address-data");
      const QByteArray bobIfAsked = member("/ann/book/b.vcf", "\"b\"", withCards ? bob : "");
      const QByteArray cyIfAsked = member("/ann/book/c.vcf", "\"c\"", withCards ? cy : "");
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
    CardDavClient client(network_, davAccount(server_->url(u"/ann/book/"_qs)), limits);
    const SyncOutcome o = f->sync(&client);
    QVERIFY2(o.succeeded, qPrintable(o.error));
    QStringList here;
    for (const FieldTexts& record : f->records()) here << record[0];
    QCOMPARE(here, names);
    QCOMPARE(requests("REPORT", "addressbook-multiget"), multigets);
    const SyncState state = readSyncState(syncStatePath(kDataFileName)).state;
    QCOMPARE(state.syncToken, u"t2"_qs);
    QCOMPARE(state.contacts.size(), size_t(names.size()));
    for (const SyncedContact& c : state.contacts) QVERIFY(!c.card.isEmpty());
  }

  void stateDamagedPastItsToken() {
    // The changes since its token are asked for while the contacts are read. Without them, the
    // answer is no use: Ann would go up again as a new card. She is matched in a full listing.
    auto f = syncedBook();
    QVERIFY(f);
    writeFile(syncStatePath(kDataFileName), readFile(syncStatePath(kDataFileName)).chopped(3));
    server_->handler = [&](const FakeHttpServer::Request& r) {
      if (r.method == "PROPFIND") {
        return answer(
            "207 Multi-Status",
            multistatus("<d:response><d:href>/ann/book/</d:href><d:propstat><d:prop>"
                        "<d:resourcetype><d:collection/><c:addressbook/>"
                        "</d:resourcetype><d:sync-token>t-full</d:sync-token></d:prop>"
                        "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"));
      }
      if (r.body.contains("addressbook-multiget")) {
        return answer(
            "207 Multi-Status",
            multistatus(member(kAnnHref, "\"1\"", newCard(person(u"Ann Lee"_qs), u"a"_qs))));
      }
      if (r.body.contains("<d:sync-token>t1</d:sync-token>")) {
        return answer("207 Multi-Status", multistatus({}, "t2"));
      }
      return answer("207 Multi-Status", multistatus(member(kAnnHref, "\"1\""), "t-full"));
    };
    const SyncOutcome o = f->sync();
    QVERIFY2(o.succeeded, qPrintable(o.error));
    QCOMPARE(requests("PUT"), 0);
    QCOMPARE(f->localCount(), 1);
    const SyncState after = readSyncState(syncStatePath(kDataFileName)).state;
    QCOMPARE(after.syncToken, u"t-full"_qs);
    QCOMPARE(after.contacts.size(), 1u);
    QCOMPARE(after.contacts[0].href, QString::fromLatin1(kAnnHref));
  }

  void failedUploadRetriedOnItsAddress() {
    auto f = syncedBook(false);
    QVERIFY(f);
    bool serverDown = true;
    server_->handler = [&](const FakeHttpServer::Request& r) {
      if (r.method != "PUT") return answer("207 Multi-Status", multistatus({}, "t2"));
      if (serverDown) return answer("503 Service Unavailable");
      Answer created = answer("201 Created");
      created.headers.append({QByteArray("ETag"), QByteArray("\"n1\"")});
      return created;
    };
    const SyncOutcome failed = f->sync();
    QVERIFY(!failed.succeeded);
    QVERIFY2(failed.error.contains(u"127.0.0.1"_qs), qPrintable(failed.error));
    QCOMPARE(f->localCount(), 1);

    serverDown = false;
    const SyncOutcome o = f->sync();
    QVERIFY2(o.succeeded, qPrintable(o.error));
    QCOMPARE(o.summary.addedThere, 1);
    QList<QByteArray> puts;
    for (const auto& r : server_->received) {
      if (r.method != "PUT") continue;
      puts << r.path;
      QCOMPARE(r.headers.value("if-none-match"), QByteArray("*"));
      QCOMPARE(cardFields(r.body), std::optional<FieldTexts>(person(u"Ann Lee"_qs)));
    }
    QCOMPARE(puts.size(), 2);
    QCOMPARE(puts[0], puts[1]);  // the same card at the same address: never a second
    const SyncState state = readSyncState(syncStatePath(kDataFileName)).state;
    QCOMPARE(state.contacts.size(), 1u);
    QCOMPARE(state.contacts[0].etag, QByteArray("\"n1\""));
    QCOMPARE(state.contacts[0].pending, SyncedContact::Pending::None);
  }

  void cardOfManyProperties() {
    auto f = syncedBook();
    QVERIFY(f);
    const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:m\r\nFN:Many\r\n" +
                            QByteArray("X-A:1\r\n").repeated(100'000) + "END:VCARD\r\n";
    server_->handler = [&](const FakeHttpServer::Request& r) {
      if (r.body.contains("addressbook-multiget")) {
        return answer("207 Multi-Status", multistatus(member("/ann/book/m.vcf", "\"m\"", card)));
      }
      return answer("207 Multi-Status", multistatus(member("/ann/book/m.vcf", "\"m\""), "t2"));
    };
    const SyncOutcome o = f->sync();
    QVERIFY2(o.succeeded, qPrintable(o.error));
    QCOMPARE(f->localCount(), 1);  // a card nobody could read is not taken
    QVERIFY(!readSyncState(syncStatePath(kDataFileName)).state.findHref(u"/ann/book/m.vcf"_qs));
  }

  void dataFileGone_data() {
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << false << u"TAVELIN.FIL is missing"_qs;
    QTest::newRow("a folder in its place") << true << u"the data file cannot be read: "_qs;
  }
  void dataFileGone() {
    // Every contact would read as deleted here: the server is told nothing.
    QFETCH(bool, folder);
    QFETCH(QString, why);
    auto f = syncedBook();
    QVERIFY(f);
    QVERIFY(QFile::remove(kDataFileName));
    if (folder) QVERIFY(QDir().mkdir(kDataFileName));
    const QByteArray state = readFile(syncStatePath(kDataFileName));
    server_->answerAlways(answer("207 Multi-Status", multistatus({}, "t2")));
    const SyncOutcome o = f->sync();
    QVERIFY(!o.succeeded);
    QVERIFY2(o.error.contains(why), qPrintable(o.error));
    QCOMPARE(requests("DELETE") + requests("PUT"), 0);
    QCOMPARE(readFile(syncStatePath(kDataFileName)), state);
  }
};

QTEST_GUILESS_MAIN(SyncEngineHostileTest)
#include "test_sync_engine_hostile.moc"
