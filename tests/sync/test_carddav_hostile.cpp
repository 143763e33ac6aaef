// The client against a scripted server's hostile or odd answers: nothing it says may crash,
// hang, grow without bound, reach outside the address book or take the password elsewhere.
#include <QNetworkAccessManager>
#include <QTest>
#include <memory>

#include "carddav_wait.h"
#include "fake_http_server.h"
#include "sync/carddav_client.h"

using namespace tavelin::sync;
using namespace tavelin::test;
using Answer = FakeHttpServer::Answer;

Q_DECLARE_METATYPE(DavOutcome)

const QByteArray kBasic = "Basic YW5uOnNlY3JldA==";  // ann:secret

class CardDavHostileTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init();
  void hostileBodies_data();
  void hostileBodies();
  void hrefsOutsideDropped();
  void multigetOnlyWhatWasAsked();
  void refusedBeforeSending_data();
  void refusedBeforeSending();
  void redirects_data();
  void redirects();
  void putHeadersAndEtag_data();
  void putHeadersAndEtag();
  void conflictHref_data();
  void conflictHref();
  void discoveryStaysOnServer();
  void destroyedWhileRunning();
  void syncInParts();
  void unreachableOrSilent_data();
  void unreachableOrSilent();

 private:
  std::unique_ptr<CardDavClient> client(const QUrl& url, const DavLimits& limits = {});

  QNetworkAccessManager network_;
  std::unique_ptr<FakeHttpServer> server_;
  std::unique_ptr<FakeHttpServer> other_;  // another server, where nothing may arrive
};

void CardDavHostileTest::init() {
  server_ = std::make_unique<FakeHttpServer>();
  other_ = std::make_unique<FakeHttpServer>();
}

std::unique_ptr<CardDavClient> CardDavHostileTest::client(const QUrl& url,
                                                          const DavLimits& limits) {
  return std::make_unique<CardDavClient>(network_, davAccount(url), limits);
}

void CardDavHostileTest::hostileBodies_data() {
  QTest::addColumn<QString>("operation");
  QTest::addColumn<QByteArray>("body");
  QTest::addColumn<bool>("endless");
  QTest::addColumn<qint64>("declared");
  QTest::addColumn<DavOutcome>("expected");
  const auto row = [](const char* name, const char* operation, const QByteArray& body,
                      DavOutcome expected, bool endless = false, qint64 declared = -1) {
    QTest::newRow(name) << QString::fromLatin1(operation) << body << endless << declared
                        << expected;
  };
  row("unclosed", "list", "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/a",
      DavOutcome::BadResponse);
  row("empty", "sync", "", DavOutcome::BadResponse);
  row("nested deep", "list",
      multistatus(QByteArray("<x>").repeated(5000) + QByteArray("</x>").repeated(5000)),
      DavOutcome::BadResponse);
  row("sync without token", "sync", multistatus(member("/ann/book/a.vcf", "\"1\"")),
      DavOutcome::BadResponse);
  row("over-long etag", "list", multistatus(member("/ann/book/a.vcf", QByteArray(20000, 'e'))),
      DavOutcome::BadResponse);
  row("declared huge", "list", "<d:multistatus", DavOutcome::TooLarge, false, qint64(1) << 40);
  row("endless listing", "list", QByteArray("<d:response>").repeated(6000), DavOutcome::TooLarge,
      true);
  row("endless sync", "sync", QByteArray(65536, ' '), DavOutcome::TooLarge, true);
  row("endless multiget", "multiget", QByteArray("BEGIN:VCARD\r\n").repeated(5000),
      DavOutcome::TooLarge, true);
  row("listing fine", "list", multistatus(member("/ann/book/a.vcf", "\"1\"")), DavOutcome::Ok);
}

void CardDavHostileTest::hostileBodies() {
  QFETCH(QString, operation);
  QFETCH(QByteArray, body);
  QFETCH(bool, endless);
  QFETCH(qint64, declared);
  QFETCH(DavOutcome, expected);
  server_->handler = [&](const FakeHttpServer::Request&) {
    Answer a = answer("207 Multi-Status", body);
    a.endless = endless;
    a.declaredLength = declared;
    return a;
  };
  DavLimits limits;
  limits.maxOtherBytes = 1 << 20;
  limits.maxMultigetBytes = 2 << 20;
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book/")), limits);
  std::optional<DavResult> result;
  if (operation == QLatin1String("list")) {
    const auto listing =
        awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
    if (listing) result = listing->result;
  } else if (operation == QLatin1String("sync")) {
    const auto changes = awaitResult<SyncChanges>(
        [&](auto done) { c->syncCollection(QStringLiteral("t1"), false, std::move(done)); });
    if (changes) result = changes->result;
  } else {
    result = awaitResult<DavResult>([&](auto done) {
      c->multiget(
          {QStringLiteral("/ann/book/a.vcf")}, [](CardBatch) {}, std::move(done));
    });
  }
  QVERIFY(result);
  QCOMPARE(result->outcome, expected);
  QCOMPARE(result->message.isEmpty(), expected == DavOutcome::Ok);
  QVERIFY(!result->message.contains(QLatin1String("secret")));
  QCOMPARE(server_->received.size(), 1);
  QCOMPARE(server_->received[0].headers.value("authorization"), kBasic);
}

void CardDavHostileTest::hrefsOutsideDropped() {
  const QByteArray otherHost = other_->url(QStringLiteral("/ann/book/x.vcf")).toEncoded();
  server_->handler = [&](const FakeHttpServer::Request&) {
    return answer(
        "207 Multi-Status",
        multistatus(member("/ann/book/", "\"c\"") +  // the book itself
                    member("../other/x.vcf", "\"1\"") + member(otherHost, "\"2\"") +
                    member("/ann/book/%2e%2e/x.vcf", "\"3\"") +
                    member("/ann/book/..%2Fx.vcf", "\"4\"") +
                    member("/ann/bookish/x.vcf", "\"5\"") +
                    member("https://127.0.0.1/ann/book/x.vcf", "\"6\"") +
                    member("/ann/book/x.vcf?q=1", "\"7\"") + member("", "\"8\"") +
                    member("good.vcf", "\"9\"") + member("/ann/book/sub/../fine.vcf", "\"10\"")));
  };
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book")));
  const auto listing = awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
  QVERIFY(listing && listing->result.ok());
  QCOMPARE(listing->members.size(), 2u);
  QCOMPARE(listing->members[0].href, QStringLiteral("/ann/book/good.vcf"));
  QCOMPARE(listing->members[0].etag, QByteArray("\"9\""));
  QCOMPARE(listing->members[1].href, QStringLiteral("/ann/book/fine.vcf"));
  QCOMPARE(other_->received.size(), 0);
}

void CardDavHostileTest::multigetOnlyWhatWasAsked() {
  server_->handler = [&](const FakeHttpServer::Request&) {
    return answer("207 Multi-Status",
                  multistatus(member("/ann/book/asked.vcf", "\"1\"", "BEGIN:VCARD&#13;\nUID:a") +
                              member("/ann/book/slipped.vcf", "\"2\"", "BEGIN:VCARD") +
                              member("/ann/other/x.vcf", "\"3\"", "BEGIN:VCARD") +
                              member("/ann/book/asked.vcf", "\"4\"", "BEGIN:VCARD") +
                              member("/ann/book/big.vcf", "\"5\"", QByteArray(3000, 'x')) +
                              member("/ann/book/noetag.vcf", "", "BEGIN:VCARD") +
                              member("/ann/book/ann@home.vcf", "\"6\"", "BEGIN:VCARD")));
  };
  DavLimits limits;
  limits.xml.maxCardBytes = 2000;
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book/")), limits);
  std::vector<CardBatch> batches;
  const QStringList asked{QStringLiteral("/ann/book/asked.vcf"), QStringLiteral("big.vcf"),
                          QStringLiteral("/ann/book/noetag.vcf"),
                          QStringLiteral("/ann/book/absent.vcf"), QStringLiteral("ann%40home.vcf")};
  const auto done = awaitResult<DavResult>([&](auto finish) {
    c->multiget(
        asked, [&](CardBatch b) { batches.push_back(std::move(b)); }, std::move(finish));
  });
  QVERIFY(done && done->ok());
  QCOMPARE(batches.size(), 1u);
  QCOMPARE(batches[0].cards.size(), 2u);
  QCOMPARE(batches[0].cards[0].href, QStringLiteral("/ann/book/asked.vcf"));
  QCOMPARE(batches[0].cards[0].card, QByteArray("BEGIN:VCARD\r\nUID:a"));
  // The server spelt it otherwise; it is still the card asked for.
  QCOMPARE(batches[0].cards[1].href, QStringLiteral("/ann/book/ann%40home.vcf"));
  QCOMPARE(batches[0].missing,
           (QStringList{QStringLiteral("/ann/book/big.vcf"), QStringLiteral("/ann/book/noetag.vcf"),
                        QStringLiteral("/ann/book/absent.vcf")}));
  const QByteArray request = server_->received.value(0).body;
  QVERIFY(request.contains("addressbook-multiget"));
  QCOMPARE(request.count("/ann/book/"), 5);
}

void CardDavHostileTest::refusedBeforeSending_data() {
  QTest::addColumn<QString>("href");
  QTest::newRow("parent") << QStringLiteral("../other/x.vcf");
  QTest::newRow("encoded parent") << QStringLiteral("%2e%2e/x.vcf");
  QTest::newRow("other book") << QStringLiteral("/ann/other/x.vcf");
  QTest::newRow("the book") << QStringLiteral("/ann/book/");
  QTest::newRow("other host") << QStringLiteral("http://127.0.0.2/ann/book/x.vcf");
  QTest::newRow("with query") << QStringLiteral("x.vcf?a=b");
}

void CardDavHostileTest::refusedBeforeSending() {
  QFETCH(QString, href);
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book/")));
  const auto put = awaitResult<PutResult>(
      [&](auto done) { c->putNew(href, "BEGIN:VCARD\r\nEND:VCARD\r\n", std::move(done)); });
  QVERIFY(put);
  QCOMPARE(put->result.outcome, DavOutcome::HrefRefused);
  const auto removed =
      awaitResult<DavResult>([&](auto done) { c->remove(href, "\"1\"", std::move(done)); });
  QCOMPARE(removed->outcome, DavOutcome::HrefRefused);
  const auto fetched = awaitResult<DavResult>([&](auto done) {
    c->multiget(
        {QStringLiteral("/ann/book/ok.vcf"), href}, [](CardBatch) {}, std::move(done));
  });
  QCOMPARE(fetched->outcome, DavOutcome::HrefRefused);
  QCOMPARE(server_->received.size(), 0);

  // Plain http to another machine is refused before anything leaves.
  CardDavClient remote(network_, davAccount(QUrl(QStringLiteral("http://192.0.2.1/ann/book/"))));
  const auto listing =
      awaitResult<EtagListing>([&](auto done) { remote.listEtags(std::move(done)); });
  QVERIFY(listing);
  QCOMPARE(listing->result.outcome, DavOutcome::InsecureRefused);
  QVERIFY(listing->result.message.contains(QLatin1String("192.0.2.1")));
}

void CardDavHostileTest::redirects_data() {
  QTest::addColumn<QString>("location");  // %1: this server's port, %2: the other's
  QTest::addColumn<DavOutcome>("expected");
  QTest::addColumn<int>("requests");
  QTest::newRow("same server") << QStringLiteral("/ann/moved/") << DavOutcome::Ok << 2;
  QTest::newRow("same server, absolute")
      << QStringLiteral("http://127.0.0.1:%1/ann/moved/") << DavOutcome::Ok << 2;
  QTest::newRow("other port") << QStringLiteral("http://127.0.0.1:%2/ann/book/")
                              << DavOutcome::RedirectRefused << 1;
  QTest::newRow("other host") << QStringLiteral("http://localhost:%1/ann/book/")
                              << DavOutcome::RedirectRefused << 1;
  QTest::newRow("to https") << QStringLiteral("https://127.0.0.1:%1/ann/book/")
                            << DavOutcome::RedirectRefused << 1;
  QTest::newRow("with user") << QStringLiteral("http://eve@127.0.0.1:%2/ann/book/")
                             << DavOutcome::RedirectRefused << 1;
  QTest::newRow("loop") << QStringLiteral("/ann/book/") << DavOutcome::RedirectRefused << 6;
}

void CardDavHostileTest::redirects() {
  QFETCH(QString, location);
  QFETCH(DavOutcome, expected);
  QFETCH(int, requests);
  const QByteArray target =
      QString(location)
          .replace(QLatin1String("%1"), QString::number(server_->url().port()))
          .replace(QLatin1String("%2"), QString::number(other_->url().port()))
          .toUtf8();
  server_->handler = [&](const FakeHttpServer::Request& request) {
    if (request.path == "/ann/moved/") {
      return answer("207 Multi-Status", multistatus(member("/ann/moved/a.vcf", "\"1\"")));
    }
    Answer a = answer("301 Moved Permanently");
    a.headers.append({"Location", target});
    return a;
  };
  other_->handler = server_->handler;
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book/")));
  const auto listing = awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
  QVERIFY(listing);
  QCOMPARE(listing->result.outcome, expected);
  QCOMPARE(server_->received.size(), requests);
  // Credentials went with every request to the configured server and to no other.
  for (const FakeHttpServer::Request& request : server_->received) {
    QCOMPARE(request.headers.value("authorization"), kBasic);
    QCOMPARE(request.method, QByteArray("PROPFIND"));
  }
  QCOMPARE(other_->received.size(), 0);
  if (expected == DavOutcome::RedirectRefused && requests == 1) {
    QCOMPARE(listing->result.redirectTarget.userInfo(), QString());
    QVERIFY(listing->result.redirectTarget.isValid());
  }
}

void CardDavHostileTest::putHeadersAndEtag_data() {
  QTest::addColumn<QByteArray>("status");
  QTest::addColumn<QByteArray>("etagHeader");
  QTest::addColumn<DavOutcome>("expected");
  QTest::addColumn<QByteArray>("etag");  // empty: none reported
  QTest::newRow("created") << QByteArray("201 Created") << QByteArray("\"v2\"") << DavOutcome::Ok
                           << QByteArray("\"v2\"");
  QTest::newRow("no etag") << QByteArray("204 No Content") << QByteArray() << DavOutcome::Ok
                           << QByteArray();
  QTest::newRow("weak etag") << QByteArray("201 Created") << QByteArray("W/\"v2\"")
                             << DavOutcome::Ok << QByteArray();
  QTest::newRow("changed meanwhile") << QByteArray("412 Precondition Failed") << QByteArray()
                                     << DavOutcome::PreconditionFailed << QByteArray();
  QTest::newRow("forbidden") << QByteArray("403 Forbidden") << QByteArray()
                             << DavOutcome::AuthenticationFailed << QByteArray();
  QTest::newRow("server error") << QByteArray("500 Oops\x01\x02") << QByteArray()
                                << DavOutcome::HttpError << QByteArray();
}

void CardDavHostileTest::putHeadersAndEtag() {
  QFETCH(QByteArray, status);
  QFETCH(QByteArray, etagHeader);
  QFETCH(DavOutcome, expected);
  QFETCH(QByteArray, etag);
  server_->handler = [&](const FakeHttpServer::Request&) {
    Answer a = answer(status);
    if (!etagHeader.isEmpty()) a.headers.append({"ETag", etagHeader});
    return a;
  };
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book/")));
  const QByteArray card = "BEGIN:VCARD\r\nUID:u\r\nFN:U\r\nEND:VCARD\r\n";
  const auto created = awaitResult<PutResult>(
      [&](auto done) { c->putNew(c->hrefFor(QStringLiteral("u 1.vcf")), card, std::move(done)); });
  const auto changed = awaitResult<PutResult>(
      [&](auto done) { c->putChanged(QStringLiteral("u.vcf"), card, "\"v1\"", std::move(done)); });
  QVERIFY(created && changed);
  for (const PutResult& put : {*created, *changed}) {
    QCOMPARE(put.result.outcome, expected);
    QCOMPARE(put.etag.value_or(QByteArray()), etag);
    QVERIFY(!put.result.message.contains(QChar(1)));
  }
  QCOMPARE(server_->received.size(), 2);
  const FakeHttpServer::Request& first = server_->received[0];
  QCOMPARE(first.method, QByteArray("PUT"));
  QCOMPARE(first.path, QByteArray("/ann/book/u%201.vcf"));
  QCOMPARE(first.headers.value("if-none-match"), QByteArray("*"));
  QVERIFY(!first.headers.contains("if-match"));
  QCOMPARE(first.headers.value("content-type"), QByteArray("text/vcard; charset=utf-8"));
  QCOMPARE(first.body, card);
  QCOMPARE(server_->received[1].headers.value("if-match"), QByteArray("\"v1\""));
  QVERIFY(!server_->received[1].headers.contains("if-none-match"));

  // An ETag that would smuggle a header in is never sent.
  const auto smuggled = awaitResult<PutResult>([&](auto done) {
    c->putChanged(QStringLiteral("u.vcf"), card, "\"v1\"\r\nX-Evil: 1", std::move(done));
  });
  QCOMPARE(smuggled->result.outcome, DavOutcome::BadResponse);
  QCOMPARE(server_->received.size(), 2);
}

void CardDavHostileTest::conflictHref_data() {
  QTest::addColumn<QByteArray>("href");
  QTest::addColumn<QString>("expected");
  QTest::newRow("inside") << QByteArray("/ann/book/first.vcf")
                          << QStringLiteral("/ann/book/first.vcf");
  QTest::newRow("relative") << QByteArray("first.vcf") << QStringLiteral("/ann/book/first.vcf");
  QTest::newRow("outside") << QByteArray("/ann/other/first.vcf") << QString();
  QTest::newRow("none") << QByteArray() << QString();
}

void CardDavHostileTest::conflictHref() {
  QFETCH(QByteArray, href);
  QFETCH(QString, expected);
  server_->handler = [&](const FakeHttpServer::Request&) {
    return answer("409 Conflict",
                  "<?xml version=\"1.0\"?><d:error xmlns:d=\"DAV:\" "
                  "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><c:no-uid-conflict>" +
                      (href.isEmpty() ? QByteArray() : "<d:href>" + href + "</d:href>") +
                      "</c:no-uid-conflict></d:error>");
  };
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book/")));
  const auto put = awaitResult<PutResult>(
      [&](auto done) { c->putNew(QStringLiteral("second.vcf"), "BEGIN:VCARD", std::move(done)); });
  QVERIFY(put);
  QCOMPARE(put->result.outcome, DavOutcome::Conflict);
  QCOMPARE(put->result.conditions, QStringList{QStringLiteral("no-uid-conflict")});
  QCOMPARE(put->result.conflictHref, expected);
}

void CardDavHostileTest::discoveryStaysOnServer() {
  const QByteArray elsewhere = other_->url(QStringLiteral("/ann/")).toEncoded();
  server_->handler = [&](const FakeHttpServer::Request& request) {
    if (request.path == "/.well-known/carddav") {
      Answer a = answer("301 Moved Permanently");
      a.headers.append({QByteArray("Location"), QByteArray("/")});
      return a;
    }
    if (request.path == "/") {
      return answer("207 Multi-Status",
                    multistatus("<d:response><d:href>/</d:href><d:propstat><d:prop>"
                                "<d:current-user-principal><d:href>/ann/</d:href>"
                                "</d:current-user-principal></d:prop><d:status>HTTP/1.1 200 OK"
                                "</d:status></d:propstat></d:response>"));
    }
    if (request.path == "/ann/") {
      // A home on another server: never followed.
      return answer("207 Multi-Status",
                    multistatus("<d:response><d:href>/ann/</d:href><d:propstat><d:prop>"
                                "<c:addressbook-home-set><d:href>" +
                                elsewhere +
                                "</d:href></c:addressbook-home-set></d:prop><d:status>"
                                "HTTP/1.1 200 OK</d:status></d:propstat></d:response>"));
    }
    return answer("404 Not Found");
  };
  std::unique_ptr<CardDavClient> c = client(server_->url());
  const auto found = awaitResult<Discovery>([&](auto done) { c->discover(std::move(done)); });
  QVERIFY(found);
  QCOMPARE(found->result.outcome, DavOutcome::BadResponse);
  QVERIFY(found->addressBooks.empty());
  QCOMPARE(server_->received.size(), 3);
  QCOMPARE(other_->received.size(), 0);
}

void CardDavHostileTest::destroyedWhileRunning() {
  server_->handler = [&](const FakeHttpServer::Request&) {
    Answer a = answer("207 Multi-Status", QByteArray(4096, ' '));
    a.endless = true;
    return a;
  };
  bool called = false;
  auto c = client(server_->url(QStringLiteral("/ann/book/")));
  c->listEtags([&](EtagListing) { called = true; });
  QTRY_COMPARE_WITH_TIMEOUT(server_->received.size(), 1, 10'000);
  c.reset();
  // The connection closes because the client let go; what was in flight reaches nobody.
  QTRY_COMPARE_WITH_TIMEOUT(server_->closedConnections, 1, 10'000);
  QCoreApplication::processEvents();
  QVERIFY(!called);
}

void CardDavHostileTest::syncInParts() {
  // RFC 6578: a 507 on the book itself says more changes wait behind the new token.
  server_->handler = [&](const FakeHttpServer::Request&) {
    return answer("207 Multi-Status",
                  multistatus(member("/ann/book/a.vcf", "\"1\"") +
                                  "<d:response><d:href>/ann/book/b.vcf</d:href><d:status>HTTP/1.1 "
                                  "404 Not Found</d:status></d:response><d:response><d:href>"
                                  "/ann/book/</d:href><d:status>HTTP/1.1 507 Insufficient Storage"
                                  "</d:status></d:response>",
                              "token-2"));
  };
  std::unique_ptr<CardDavClient> c = client(server_->url(QStringLiteral("/ann/book/")));
  const auto changes = awaitResult<SyncChanges>(
      [&](auto done) { c->syncCollection(QStringLiteral("token-1"), false, std::move(done)); });
  QVERIFY(changes && changes->result.ok());
  QVERIFY(changes->truncated);
  QCOMPARE(changes->token, QStringLiteral("token-2"));
  QCOMPARE(changes->changed.size(), 1u);
  QCOMPARE(changes->removed, QStringList{QStringLiteral("/ann/book/b.vcf")});
  const QByteArray request = server_->received.value(0).body;
  QVERIFY(request.contains("<d:sync-token>token-1</d:sync-token>"));
  QCOMPARE(server_->received.value(0).headers.value("depth"), QByteArray("0"));
}

void CardDavHostileTest::unreachableOrSilent_data() {
  QTest::addColumn<bool>("listening");
  QTest::addColumn<DavOutcome>("expected");
  QTest::newRow("nobody listening") << false << DavOutcome::NetworkError;
  QTest::newRow("never answers") << true << DavOutcome::TimedOut;
}

void CardDavHostileTest::unreachableOrSilent() {
  QFETCH(bool, listening);
  QFETCH(DavOutcome, expected);
  const QUrl url = server_->url(QStringLiteral("/ann/book/"));
  if (!listening) server_.reset();  // the port closes with it
  if (server_) {
    server_->handler = [](const FakeHttpServer::Request&) {
      Answer a;
      a.silent = true;
      return a;
    };
  }
  DavLimits limits;
  limits.idleTimeoutMs = 300;
  std::unique_ptr<CardDavClient> c = client(url, limits);
  const auto listing = awaitResult<EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
  QVERIFY(listing);
  QCOMPARE(listing->result.outcome, expected);
  QVERIFY(listing->result.message.startsWith(QLatin1String("127.0.0.1: ")));
  QVERIFY(!listing->result.message.contains(QLatin1String("secret")));
}

QTEST_GUILESS_MAIN(CardDavHostileTest)
#include "test_carddav_hostile.moc"
