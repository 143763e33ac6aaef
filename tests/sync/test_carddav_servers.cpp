// The client against real servers, Radicale and the stricter Xandikos, each started on a free
// loopback port with an empty address book; every case runs on both.
#include <QNetworkAccessManager>
#include <QTest>
#include <algorithm>
#include <map>
#include <memory>

#include "carddav_wait.h"
#include "dav_server.h"
#include "sync/carddav_client.h"

using namespace tavelin::sync;
using tavelin::test::awaitResult;
using tavelin::test::davAccount;
using tavelin::test::vcard;

namespace {

const QByteArray* etagOf(const std::vector<MemberEtag>& members, const QString& href) {
  const auto at = std::find_if(members.begin(), members.end(),
                               [&](const MemberEtag& m) { return m.href == href; });
  return at == members.end() ? nullptr : &at->etag;
}

}  // namespace

class CardDavServersTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase_data();
  void cleanupTestCase() { servers_.clear(); }
  void discovery();
  void probe();
  void putListAndFetch();
  void preconditions();
  void syncCollectionChanges();
  void invalidSyncToken();
  void duplicateUid();
  void wrongPassword();

 private:
  QString kind() const;
  tavelin::test::DavServer* server();
  std::unique_ptr<CardDavClient> client(const QString& password = QStringLiteral("secret"));
  PutResult putNew(CardDavClient& c, const QString& href, const QByteArray& card);

  QNetworkAccessManager network_;
  std::map<QString, std::unique_ptr<tavelin::test::DavServer>> servers_;
};

void CardDavServersTest::initTestCase_data() {
  QTest::addColumn<QString>("server");
  QTest::newRow("radicale") << QStringLiteral("radicale");
  QTest::newRow("xandikos") << QStringLiteral("xandikos");
}

QString CardDavServersTest::kind() const {
  QFETCH_GLOBAL(QString, server);
  return server;
}

tavelin::test::DavServer* CardDavServersTest::server() {
  std::unique_ptr<tavelin::test::DavServer>& running = servers_[kind()];
  if (!running) {
    running = std::make_unique<tavelin::test::DavServer>();
    if (!running->start(kind(), QFINDTESTDATA("dav_server.py"))) {
      qWarning("%s", qPrintable(running->error()));
      running.reset();
    }
  }
  return running.get();
}

std::unique_ptr<CardDavClient> CardDavServersTest::client(const QString& password) {
  tavelin::test::DavServer* dav = server();
  if (!dav) return nullptr;
  return std::make_unique<CardDavClient>(network_, davAccount(dav->addressBook(), password));
}

PutResult CardDavServersTest::putNew(CardDavClient& c, const QString& href,
                                     const QByteArray& card) {
  const std::optional<PutResult> put =
      awaitResult<PutResult>([&](auto done) { c.putNew(href, card, std::move(done)); });
  if (put) return *put;
  PutResult none;
  none.result.outcome = DavOutcome::TimedOut;
  return none;
}

void CardDavServersTest::discovery() {
  tavelin::test::DavServer* dav = server();
  QVERIFY(dav);
  // From the bare server address, as a user types it.
  CardDavClient c(network_, davAccount(dav->root()));
  const std::optional<Discovery> found =
      awaitResult<Discovery>([&](auto done) { c.discover(std::move(done)); });
  QVERIFY(found);
  QVERIFY2(found->result.ok(), qPrintable(found->result.message));
  QCOMPARE(found->addressBooks.size(), 1u);
  QCOMPARE(found->addressBooks[0].url, dav->addressBook());
  QCOMPARE(found->addressBooks[0].displayName, kind() == QLatin1String("radicale")
                                                   ? QStringLiteral("Friends")
                                                   : QStringLiteral("addressbook"));
  QVERIFY(c.setCollection(found->addressBooks[0].url));
  QVERIFY(!c.setCollection(QUrl(QStringLiteral("http://127.0.0.2/ann/book/"))));
}

void CardDavServersTest::probe() {
  std::unique_ptr<CardDavClient> c = client();
  QVERIFY(c);
  const auto info =
      awaitResult<CollectionInfo>([&](auto done) { c->probeCollection(std::move(done)); });
  QVERIFY(info);
  QVERIFY2(info->result.ok(), qPrintable(info->result.message));
  QVERIFY(info->isAddressBook);
  QVERIFY(info->supportsSyncCollection);
  QVERIFY(!info->syncToken.isEmpty());
  // The principal is no address book.
  QVERIFY(c->setCollection(server()->root().resolved(QUrl(QStringLiteral("/ann/")))));
  const auto principal =
      awaitResult<CollectionInfo>([&](auto done) { c->probeCollection(std::move(done)); });
  QVERIFY(principal && principal->result.ok());
  QVERIFY(!principal->isAddressBook);
}

void CardDavServersTest::putListAndFetch() {
  std::unique_ptr<CardDavClient> c = client();
  QVERIFY(c);
  const QString ann = c->hrefFor(QStringLiteral("fetch-ann.vcf"));
  const QString bob = c->hrefFor(QStringLiteral("fetch bob@home.vcf"));  // encoded on the wire
  const PutResult putAnn = putNew(*c, ann, vcard("fetch-ann", "Ann Fetch"));
  const PutResult putBob = putNew(*c, bob, vcard("fetch-bob", "Bob Fetch"));
  QVERIFY2(putAnn.result.ok(), qPrintable(putAnn.result.message));
  QVERIFY2(putBob.result.ok(), qPrintable(putBob.result.message));

  const std::optional<EtagListing> listing =
      awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
  QVERIFY(listing && listing->result.ok());
  const QByteArray* annEtag = etagOf(listing->members, ann);
  QVERIFY(annEtag && etagOf(listing->members, bob));
  QVERIFY(annEtag->startsWith('"'));
  if (putAnn.etag) QCOMPARE(*putAnn.etag, *annEtag);  // when a server says it, it is the one

  // Batches of one: three requests, one with a card the server does not have.
  DavLimits limits;
  limits.multigetBatch = 1;
  CardDavClient batched(network_, davAccount(c->collection()), limits);
  const QString gone = c->hrefFor(QStringLiteral("fetch-gone.vcf"));
  std::vector<FetchedCard> cards;
  QStringList missing;
  int batches = 0;
  const std::optional<DavResult> fetched = awaitResult<DavResult>([&](auto done) {
    batched.multiget(
        {ann, bob, gone},
        [&](CardBatch batch) {
          ++batches;
          for (FetchedCard& card : batch.cards) cards.push_back(std::move(card));
          missing += batch.missing;
        },
        std::move(done));
  });
  QVERIFY(fetched && fetched->ok());
  QCOMPARE(batches, 3);
  QCOMPARE(cards.size(), 2u);
  QCOMPARE(missing, QStringList{gone});
  QCOMPARE(cards[0].href, ann);
  QCOMPARE(cards[0].etag, *annEtag);
  QVERIFY(cards[0].card.contains("UID:fetch-ann"));
  QVERIFY(cards[1].card.contains("FN:Bob Fetch"));
}

void CardDavServersTest::preconditions() {
  std::unique_ptr<CardDavClient> c = client();
  QVERIFY(c);
  const QString href = c->hrefFor(QStringLiteral("pre.vcf"));
  QVERIFY(putNew(*c, href, vcard("pre", "Pre One")).result.ok());
  // A second new card at the same address: someone else was first.
  QCOMPARE(putNew(*c, href, vcard("pre", "Pre Two")).result.outcome,
           DavOutcome::PreconditionFailed);

  const std::optional<EtagListing> listing =
      awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
  QVERIFY(listing && etagOf(listing->members, href));
  const QByteArray etag = *etagOf(listing->members, href);
  const auto change = [&](const QByteArray& base, const QByteArray& name) {
    return awaitResult<PutResult>(
        [&](auto done) { c->putChanged(href, vcard("pre", name), base, std::move(done)); });
  };
  std::optional<PutResult> stale = change("\"not-the-etag\"", "Pre Stale");
  QVERIFY(stale);
  QCOMPARE(stale->result.outcome, DavOutcome::PreconditionFailed);
  QCOMPARE(stale->result.httpStatus, 412);
  std::optional<PutResult> changed = change(etag, "Pre Changed");
  QVERIFY(changed && changed->result.ok());

  const auto remove = [&](const QByteArray& base) {
    return awaitResult<DavResult>([&](auto done) { c->remove(href, base, std::move(done)); });
  };
  QCOMPARE(remove(etag)->outcome, DavOutcome::PreconditionFailed);  // the old version
  const std::optional<EtagListing> after =
      awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
  QVERIFY(after && etagOf(after->members, href));
  QVERIFY(*etagOf(after->members, href) != etag);
  if (changed->etag) QCOMPARE(*changed->etag, *etagOf(after->members, href));
  QVERIFY(remove(*etagOf(after->members, href))->ok());
  QCOMPARE(remove(*etagOf(after->members, href))->outcome, DavOutcome::NotFound);
}

void CardDavServersTest::syncCollectionChanges() {
  std::unique_ptr<CardDavClient> c = client();
  QVERIFY(c);
  const QString kept = c->hrefFor(QStringLiteral("sync-kept.vcf"));
  const QString changed = c->hrefFor(QStringLiteral("sync-changed.vcf"));
  const QString removed = c->hrefFor(QStringLiteral("sync-removed.vcf"));
  for (const QString& href : {kept, changed, removed}) {
    QVERIFY(putNew(*c, href, vcard(href.toUtf8(), "Sync")).result.ok());
  }
  const auto sync = [&](const QString& token, bool withCards = false) {
    return awaitResult<SyncChanges>(
        [&](auto done) { c->syncCollection(token, withCards, std::move(done)); });
  };
  const std::optional<SyncChanges> first = sync({});
  QVERIFY(first);
  QVERIFY2(first->result.ok(), qPrintable(first->result.message));
  QVERIFY(!first->token.isEmpty());
  QVERIFY(!first->truncated);
  // Radicale names cards removed before as removed even without a token; ours are there.
  for (const QString& href : {kept, changed, removed}) {
    QVERIFY2(etagOf(first->changed, href), qPrintable(href));
    QVERIFY(!first->removed.contains(href));
  }

  const QString added = c->hrefFor(QStringLiteral("sync-added.vcf"));
  QVERIFY(putNew(*c, added, vcard("sync-added", "Sync Added")).result.ok());
  QVERIFY(awaitResult<PutResult>([&](auto done) {
            c->putChanged(changed, vcard(changed.toUtf8(), "Sync Changed"),
                          *etagOf(first->changed, changed), std::move(done));
          })->result.ok());
  QVERIFY(awaitResult<DavResult>([&](auto done) {
            c->remove(removed, *etagOf(first->changed, removed), std::move(done));
          })->ok());

  const std::optional<SyncChanges> second = sync(first->token);
  QVERIFY(second && second->result.ok());
  QVERIFY(second->token != first->token);
  QCOMPARE(second->removed, QStringList{removed});
  QCOMPARE(second->changed.size(), 2u);
  QVERIFY(etagOf(second->changed, added) && etagOf(second->changed, changed));
  QVERIFY(*etagOf(second->changed, changed) != *etagOf(first->changed, changed));
  // The same changes with their cards, each as stored with its ETag. Xandikos leaves the
  // cards out (address-data not found) and lists the changes as before.
  const std::optional<SyncChanges> withCards = sync(first->token, true);
  QVERIFY(withCards && withCards->result.ok());
  QCOMPARE(withCards->removed, QStringList{removed});
  QCOMPARE(withCards->cards.size() + withCards->changed.size(), 2u);
  if (kind() == QLatin1String("radicale")) QCOMPARE(withCards->cards.size(), 2u);
  for (const FetchedCard& card : withCards->cards) {
    QCOMPARE(card.etag, *etagOf(second->changed, card.href));
    QVERIFY2(card.card.contains(card.href == added ? "FN:Sync Added" : "FN:Sync Changed"),
             card.card.constData());
  }

  const std::optional<SyncChanges> quiet = sync(second->token);
  QVERIFY(quiet && quiet->result.ok());
  QVERIFY(quiet->changed.empty() && quiet->removed.isEmpty());
}

void CardDavServersTest::invalidSyncToken() {
  std::unique_ptr<CardDavClient> c = client();
  QVERIFY(c);
  const std::optional<SyncChanges> changes = awaitResult<SyncChanges>([&](auto done) {
    c->syncCollection(QStringLiteral("http://radicale.org/ns/sync/0123456789abcdef"), false,
                      std::move(done));
  });
  QVERIFY(changes);
  if (kind() == QLatin1String("radicale")) {
    QCOMPARE(changes->result.outcome, DavOutcome::InvalidSyncToken);
    QCOMPARE(changes->result.httpStatus, 403);
  } else {
    // Xandikos fails on a token it never gave with an internal error, not the precondition.
    QCOMPARE(changes->result.outcome, DavOutcome::HttpError);
    QCOMPARE(changes->result.httpStatus, 500);
  }
}

void CardDavServersTest::duplicateUid() {
  std::unique_ptr<CardDavClient> c = client();
  QVERIFY(c);
  const QString first = c->hrefFor(QStringLiteral("dup-first.vcf"));
  QVERIFY(putNew(*c, first, vcard("dup-uid", "Dup First")).result.ok());
  const PutResult second =
      putNew(*c, c->hrefFor(QStringLiteral("dup-second.vcf")), vcard("dup-uid", "Dup Second"));
  if (kind() == QLatin1String("radicale")) {
    QCOMPARE(second.result.outcome, DavOutcome::Conflict);
    QCOMPARE(second.result.httpStatus, 409);
    QVERIFY(second.result.conditions.contains(QLatin1String("no-uid-conflict")));
    QVERIFY(second.result.conflictHref.isEmpty());  // Radicale does not say which card
  } else {
    QVERIFY(second.result.ok());  // Xandikos keeps both
  }
}

void CardDavServersTest::wrongPassword() {
  if (kind() == QLatin1String("xandikos")) QSKIP("Xandikos serves without accounts");
  std::unique_ptr<CardDavClient> c = client(QStringLiteral("wrong-pass"));
  QVERIFY(c);
  const std::optional<EtagListing> listing =
      awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
  QVERIFY(listing);
  QCOMPARE(listing->result.outcome, DavOutcome::AuthenticationFailed);
  QCOMPARE(listing->result.httpStatus, 401);
  QVERIFY(!listing->result.message.contains(QLatin1String("wrong-pass")));
  const PutResult put = putNew(*c, c->hrefFor(QStringLiteral("pw.vcf")), vcard("pw", "Pw"));
  QCOMPARE(put.result.outcome, DavOutcome::AuthenticationFailed);
}

QTEST_GUILESS_MAIN(CardDavServersTest)
#include "test_carddav_servers.moc"
