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

  std::unique_ptr<CardDavClient> client(const QString& path = u"/ann/book/"_qs,
                                        const DavLimits& limits = {}) {
    return std::make_unique<CardDavClient>(network_, davAccount(server_->url(path)), limits);
  }

  QNetworkAccessManager network_;
  std::unique_ptr<FakeHttpServer> server_;
  std::unique_ptr<FakeHttpServer> other_;  // another server, where nothing may arrive

 private Q_SLOTS:
  void init() {
    server_ = std::make_unique<FakeHttpServer>();
    other_ = std::make_unique<FakeHttpServer>();
  }

  // A sync sends fewer cards at once to this machine than across a network.
  void onThisMachine_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("here");
    QTest::newRow("127.0.0.1") << u"http://127.0.0.1:5232/ann/book/"_qs << true;
    QTest::newRow("localhost") << u"http://LocalHost/ann/book/"_qs << true;
    QTest::newRow("::1") << u"http://[::1]:5232/ann/book/"_qs << true;
    QTest::newRow("127.1.2.3") << u"http://127.1.2.3/b/"_qs << true;
    QTest::newRow("a LAN address") << u"http://192.168.1.2/ann/book/"_qs << false;
    QTest::newRow("a hosted server") << u"https://dav.example.org/ann/book/"_qs << false;
    QTest::newRow("localhost.example.org") << u"https://localhost.example.org/b/"_qs << false;
  }
  void onThisMachine() {
    QFETCH(QString, url);
    QFETCH(bool, here);
    QCOMPARE(CardDavClient(network_, davAccount(QUrl(url))).onThisMachine(), here);
  }

  void hostileBodies_data() {
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
  void hostileBodies() {
    QFETCH(QString, operation);
    QFETCH(QByteArray, body);
    QFETCH(bool, endless);
    QFETCH(qint64, declared);
    QFETCH(DavOutcome, expected);
    Answer a = answer("207 Multi-Status", body);
    a.endless = endless;
    a.declaredLength = declared;
    server_->answerAlways(a);
    DavLimits limits;
    limits.maxOtherBytes = 1 << 20;
    limits.maxMultigetBytes = 2 << 20;
    std::unique_ptr<CardDavClient> c = client(u"/ann/book/"_qs, limits);
    const DavResult result = operation == u"list"   ? listEtags(*c).result
                             : operation == u"sync" ? syncCollection(*c, u"t1"_qs).result
                                                    : multiget(*c, {u"/ann/book/a.vcf"_qs});
    QCOMPARE(result.outcome, expected);
    QCOMPARE(result.message.isEmpty(), expected == DavOutcome::Ok);
    QVERIFY(!result.message.contains(u"secret"_qs));
    QCOMPARE(server_->received.size(), 1);
    QCOMPARE(server_->received[0].headers.value("authorization"), kBasic);
  }

  void hrefsOutsideDropped() {
    const QByteArray otherHost = other_->url(u"/ann/book/x.vcf"_qs).toEncoded();
    QByteArray members;
    int etag = 0;
    for (const QByteArray& href :
         {QByteArray("/ann/book/"), QByteArray("../other/x.vcf"), otherHost,
          QByteArray("/ann/book/%2e%2e/x.vcf"), QByteArray("/ann/book/..%2Fx.vcf"),
          QByteArray("/ann/bookish/x.vcf"), QByteArray("https://127.0.0.1/ann/book/x.vcf"),
          QByteArray("/ann/book/x.vcf?q=1"), QByteArray(), QByteArray("good.vcf"),
          QByteArray("/ann/book/sub/../fine.vcf")}) {
      members += member(href, '"' + QByteArray::number(++etag) + '"');
    }
    server_->answerAlways(answer("207 Multi-Status", multistatus(members)));
    const EtagListing listing = listEtags(*client(u"/ann/book"_qs));
    QVERIFY(listing.result.ok());
    QCOMPARE(listing.members.size(), 2u);
    QCOMPARE(listing.members[0].href, u"/ann/book/good.vcf"_qs);
    QCOMPARE(listing.members[0].etag, QByteArray("\"10\""));
    QCOMPARE(listing.members[1].href, u"/ann/book/fine.vcf"_qs);
    QCOMPARE(other_->received.size(), 0);
  }

  void multigetOnlyWhatWasAsked() {
    server_->answerAlways(
        answer("207 Multi-Status",
               multistatus(member("/ann/book/asked.vcf", "\"1\"", "BEGIN:VCARD&#13;\nUID:a") +
                           member("/ann/book/slipped.vcf", "\"2\"", "BEGIN:VCARD") +
                           member("/ann/other/x.vcf", "\"3\"", "BEGIN:VCARD") +
                           member("/ann/book/asked.vcf", "\"4\"", "BEGIN:VCARD") +
                           member("/ann/book/big.vcf", "\"5\"", QByteArray(3000, 'x')) +
                           member("/ann/book/noetag.vcf", "", "BEGIN:VCARD") +
                           member("/ann/book/ann@home.vcf", "\"6\"", "BEGIN:VCARD"))));
    DavLimits limits;
    limits.xml.maxCardBytes = 2000;
    std::vector<CardBatch> batches;
    const QStringList asked{u"/ann/book/asked.vcf"_qs, u"big.vcf"_qs, u"/ann/book/noetag.vcf"_qs,
                            u"/ann/book/absent.vcf"_qs, u"ann%40home.vcf"_qs};
    QVERIFY(multiget(*client(u"/ann/book/"_qs, limits), asked, [&](CardBatch b) {
              batches.push_back(std::move(b));
            }).ok());
    QCOMPARE(batches.size(), 1u);
    QCOMPARE(batches[0].cards.size(), 2u);
    QCOMPARE(batches[0].cards[0].href, u"/ann/book/asked.vcf"_qs);
    QCOMPARE(batches[0].cards[0].card, QByteArray("BEGIN:VCARD\r\nUID:a"));
    // The server spelt it otherwise; it is still the card asked for.
    QCOMPARE(batches[0].cards[1].href, u"/ann/book/ann%40home.vcf"_qs);
    QCOMPARE(batches[0].missing, (QStringList{u"/ann/book/big.vcf"_qs, u"/ann/book/noetag.vcf"_qs,
                                              u"/ann/book/absent.vcf"_qs}));
    const QByteArray request = server_->received.value(0).body;
    QVERIFY(request.contains("addressbook-multiget"));
    QCOMPARE(request.count("/ann/book/"), 5);
  }

  void refusedBeforeSending_data() {
    QTest::addColumn<QString>("href");
    QTest::newRow("parent") << u"../other/x.vcf"_qs;
    QTest::newRow("encoded parent") << u"%2e%2e/x.vcf"_qs;
    QTest::newRow("other book") << u"/ann/other/x.vcf"_qs;
    QTest::newRow("the book") << u"/ann/book/"_qs;
    QTest::newRow("other host") << u"http://127.0.0.2/ann/book/x.vcf"_qs;
    QTest::newRow("with query") << u"x.vcf?a=b"_qs;
  }
  void refusedBeforeSending() {
    QFETCH(QString, href);
    std::unique_ptr<CardDavClient> c = client();
    QCOMPARE(putNew(*c, href, "BEGIN:VCARD\r\nEND:VCARD\r\n").result.outcome,
             DavOutcome::HrefRefused);
    QCOMPARE(removeCard(*c, href, "\"1\"").outcome, DavOutcome::HrefRefused);
    QCOMPARE(multiget(*c, {u"/ann/book/ok.vcf"_qs, href}).outcome, DavOutcome::HrefRefused);
    QCOMPARE(server_->received.size(), 0);

    // Plain http to another machine is refused before anything leaves.
    CardDavClient remote(network_, davAccount(QUrl(u"http://192.0.2.1/ann/book/"_qs)));
    const DavResult listed = listEtags(remote).result;
    QCOMPARE(listed.outcome, DavOutcome::InsecureRefused);
    QVERIFY(listed.message.contains(u"192.0.2.1"_qs));
  }

  void redirects_data() {
    QTest::addColumn<QString>("location");  // %1: this server's port, %2: the other's
    QTest::addColumn<DavOutcome>("expected");
    QTest::addColumn<int>("requests");
    const auto row = [](const char* name, const QString& location, DavOutcome expected,
                        int requests) { QTest::newRow(name) << location << expected << requests; };
    row("same server", u"/ann/moved/"_qs, DavOutcome::Ok, 2);
    row("same server, absolute", u"http://127.0.0.1:%1/ann/moved/"_qs, DavOutcome::Ok, 2);
    row("other port", u"http://127.0.0.1:%2/ann/book/"_qs, DavOutcome::RedirectRefused, 1);
    row("other host", u"http://localhost:%1/ann/book/"_qs, DavOutcome::RedirectRefused, 1);
    row("to https", u"https://127.0.0.1:%1/ann/book/"_qs, DavOutcome::RedirectRefused, 1);
    row("with user", u"http://eve@127.0.0.1:%2/ann/book/"_qs, DavOutcome::RedirectRefused, 1);
    row("loop", u"/ann/book/"_qs, DavOutcome::RedirectRefused, 6);
  }
  void redirects() {
    QFETCH(QString, location);
    QFETCH(DavOutcome, expected);
    QFETCH(int, requests);
    const QByteArray target = location.replace(u"%1"_qs, QString::number(server_->url().port()))
                                  .replace(u"%2"_qs, QString::number(other_->url().port()))
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
    const DavResult result = listEtags(*client()).result;
    QCOMPARE(result.outcome, expected);
    QCOMPARE(server_->received.size(), requests);
    // Credentials went with every request to the configured server and to no other.
    for (const FakeHttpServer::Request& request : server_->received) {
      QCOMPARE(request.headers.value("authorization"), kBasic);
      QCOMPARE(request.method, QByteArray("PROPFIND"));
    }
    QCOMPARE(other_->received.size(), 0);
    if (expected == DavOutcome::RedirectRefused && requests == 1) {
      QCOMPARE(result.redirectTarget.userInfo(), QString());
      QVERIFY(result.redirectTarget.isValid());
    }
  }

  void putHeadersAndEtag_data() {
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("etagHeader");
    QTest::addColumn<DavOutcome>("expected");
    QTest::addColumn<QByteArray>("etag");  // empty: none reported
    const auto row = [](const char* name, const char* status, const char* header,
                        DavOutcome expected, const char* etag = "") {
      QTest::newRow(name) << QByteArray(status) << QByteArray(header) << expected
                          << QByteArray(etag);
    };
    row("created", "201 Created", "\"v2\"", DavOutcome::Ok, "\"v2\"");
    row("no etag", "204 No Content", "", DavOutcome::Ok);
    row("weak etag", "201 Created", "W/\"v2\"", DavOutcome::Ok);
    row("changed meanwhile", "412 Precondition Failed", "", DavOutcome::PreconditionFailed);
    row("forbidden", "403 Forbidden", "", DavOutcome::AuthenticationFailed);
    row("server error", "500 Oops\x01\x02", "", DavOutcome::HttpError);
  }
  void putHeadersAndEtag() {
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, etagHeader);
    QFETCH(DavOutcome, expected);
    QFETCH(QByteArray, etag);
    Answer a = answer(status);
    if (!etagHeader.isEmpty()) a.headers.append({"ETag", etagHeader});
    server_->answerAlways(a);
    std::unique_ptr<CardDavClient> c = client();
    const QByteArray card = "BEGIN:VCARD\r\nUID:u\r\nFN:U\r\nEND:VCARD\r\n";
    for (const PutResult& put : {putNew(*c, c->hrefFor(u"u 1.vcf"_qs), card),
                                 putChanged(*c, u"u.vcf"_qs, card, "\"v1\"")}) {
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
    QVERIFY(first.headers.value("user-agent").startsWith("Tavelin/"));
    QCOMPARE(first.body, card);
    QCOMPARE(server_->received[1].headers.value("if-match"), QByteArray("\"v1\""));
    QVERIFY(!server_->received[1].headers.contains("if-none-match"));

    // An ETag that would end the header or smuggle another in is never sent.
    for (const QByteArray& damaged :
         {QByteArray("\"v1\"\r\nX-Evil: 1"), QByteArray("\"v1\"\x01")}) {
      QCOMPARE(putChanged(*c, u"u.vcf"_qs, card, damaged).result.outcome, DavOutcome::BadResponse);
      QCOMPARE(removeCard(*c, u"u.vcf"_qs, damaged).outcome, DavOutcome::BadResponse);
    }
    QCOMPARE(server_->received.size(), 2);
  }

  void conflictHref_data() {
    QTest::addColumn<QByteArray>("href");
    QTest::addColumn<QString>("expected");
    QTest::newRow("inside") << QByteArray("/ann/book/first.vcf") << u"/ann/book/first.vcf"_qs;
    QTest::newRow("relative") << QByteArray("first.vcf") << u"/ann/book/first.vcf"_qs;
    QTest::newRow("outside") << QByteArray("/ann/other/first.vcf") << QString();
    QTest::newRow("none") << QByteArray() << QString();
  }
  void conflictHref() {
    QFETCH(QByteArray, href);
    QFETCH(QString, expected);
    server_->answerAlways(
        answer("409 Conflict",
               "<?xml version=\"1.0\"?><d:error xmlns:d=\"DAV:\" "
               "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><c:no-uid-conflict>" +
                   (href.isEmpty() ? QByteArray() : "<d:href>" + href + "</d:href>") +
                   "</c:no-uid-conflict></d:error>"));
    const DavResult put = putNew(*client(), u"second.vcf"_qs, "BEGIN:VCARD").result;
    QCOMPARE(put.outcome, DavOutcome::Conflict);
    QCOMPARE(put.conditions, QStringList{u"no-uid-conflict"_qs});
    QCOMPARE(put.conflictHref, expected);
  }

  void discoveryStaysOnServer() {
    const QByteArray elsewhere = other_->url(u"/ann/"_qs).toEncoded();
    const auto props = [](const QByteArray& href, const QByteArray& prop) {
      return answer(
          "207 Multi-Status",
          multistatus("<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + prop +
                      "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
                      "</d:response>"));
    };
    server_->handler = [&](const FakeHttpServer::Request& request) {
      if (request.path == "/.well-known/carddav") {
        Answer a = answer("301 Moved Permanently");
        a.headers.append({QByteArray("Location"), QByteArray("/")});
        return a;
      }
      if (request.path == "/") {
        return props("/",
                     "<d:current-user-principal><d:href>/ann/</d:href>"
                     "</d:current-user-principal>");
      }
      if (request.path == "/ann/") {  // a home on another server: never followed
        return props("/ann/", "<c:addressbook-home-set><d:href>" + elsewhere +
                                  "</d:href></c:addressbook-home-set>");
      }
      return answer("404 Not Found");
    };
    std::unique_ptr<CardDavClient> c = client(u"/"_qs);
    const Discovery found =
        awaitResult<Discovery>([&](auto done) { c->discover(std::move(done)); });
    QCOMPARE(found.result.outcome, DavOutcome::BadResponse);
    QVERIFY(found.addressBooks.empty());
    QCOMPARE(server_->received.size(), 3);
    QCOMPARE(other_->received.size(), 0);
  }

  void destroyedWhileRunning() {
    Answer a = answer("207 Multi-Status", QByteArray(4096, ' '));
    a.endless = true;
    server_->answerAlways(a);
    bool called = false;
    auto c = client();
    c->listEtags([&](EtagListing) { called = true; });
    QTRY_COMPARE_WITH_TIMEOUT(server_->received.size(), 1, 10'000);
    c.reset();
    // The connection closes because the client let go; what was in flight reaches nobody.
    QTRY_COMPARE_WITH_TIMEOUT(server_->closedConnections, 1, 10'000);
    QCoreApplication::processEvents();
    QVERIFY(!called);
  }

  void syncInParts() {
    // RFC 6578: a 507 on the book itself says more changes wait behind the new token.
    server_->answerAlways(answer(
        "207 Multi-Status",
        multistatus(member("/ann/book/a.vcf", "\"1\"") +
                        "<d:response><d:href>/ann/book/b.vcf</d:href><d:status>HTTP/1.1 404 Not "
                        "Found</d:status></d:response><d:response><d:href>/ann/book/</d:href>"
                        "<d:status>HTTP/1.1 507 Insufficient Storage</d:status></d:response>",
                    "token-2")));
    const SyncChanges changes = syncCollection(*client(), u"token-1"_qs);
    QVERIFY(changes.result.ok());
    QVERIFY(changes.truncated);
    QCOMPARE(changes.token, u"token-2"_qs);
    QCOMPARE(changes.changed.size(), 1u);
    QCOMPARE(changes.removed, QStringList{u"/ann/book/b.vcf"_qs});
    QVERIFY(server_->received.value(0).body.contains("<d:sync-token>token-1</d:sync-token>"));
    QCOMPARE(server_->received.value(0).headers.value("depth"), QByteArray("0"));
  }

  void unreachableOrSilent_data() {
    QTest::addColumn<bool>("listening");
    QTest::addColumn<DavOutcome>("expected");
    QTest::newRow("nobody listening") << false << DavOutcome::NetworkError;
    QTest::newRow("never answers") << true << DavOutcome::TimedOut;
  }
  void unreachableOrSilent() {
    QFETCH(bool, listening);
    QFETCH(DavOutcome, expected);
    Answer silent;
    silent.silent = true;
    server_->answerAlways(silent);
    DavLimits limits;
    limits.idleTimeoutMs = 300;
    std::unique_ptr<CardDavClient> c = client(u"/ann/book/"_qs, limits);
    if (!listening) server_.reset();  // the port closes with it
    const DavResult result = listEtags(*c).result;
    QCOMPARE(result.outcome, expected);
    QVERIFY(result.message.startsWith(u"127.0.0.1: "_qs));
    QVERIFY(!result.message.contains(u"secret"_qs));
  }
};

QTEST_GUILESS_MAIN(CardDavHostileTest)
#include "test_carddav_hostile.moc"
