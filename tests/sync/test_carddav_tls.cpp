// https with a certificate the system does not trust: refused with the reason and nothing
// sent, unless the user trusted exactly this certificate by its SHA-256 fingerprint.
#include <QDir>
#include <QNetworkAccessManager>
#include <QSslSocket>
#include <QTest>
#include <memory>

#include "carddav_wait.h"
#include "fake_http_server.h"
#include "sync/carddav_client.h"

using namespace tavelin::sync;
using namespace tavelin::test;

Q_DECLARE_METATYPE(DavOutcome)

namespace {

// openssl x509 -in tls/loopback.pem -noout -fingerprint -sha256
const QByteArray kLoopbackSha256 =
    "883c19d823ae19f78405283f52a3790b1135a776068ec74a4dca8ef87ee22501";

int threadCount() {
  return static_cast<int>(
      QDir(u"/proc/self/task"_qs).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

}  // namespace

class CardDavTlsTest : public QObject {
  Q_OBJECT

  int threadsBefore_ = 0;

 private Q_SLOTS:
  void initTestCase() {
    if (!QSslSocket::supportsSsl()) QSKIP("no TLS backend");
    threadsBefore_ = threadCount();
  }

  void selfSigned_data() {
    QTest::addColumn<QByteArray>("trusted");
    QTest::addColumn<DavOutcome>("expected");
    QTest::newRow("not trusted") << QByteArray() << DavOutcome::CertificateError;
    QTest::newRow("trusted") << kLoopbackSha256 << DavOutcome::Ok;
    QTest::newRow("trusted upper case") << kLoopbackSha256.toUpper() << DavOutcome::Ok;
    QTest::newRow("another trusted")
        << QByteArray(kLoopbackSha256).replace(0, 2, "00") << DavOutcome::CertificateError;
  }
  void selfSigned() {
    QFETCH(QByteArray, trusted);
    QFETCH(DavOutcome, expected);
    FakeHttpServer server(QFINDTESTDATA("tls/loopback.pem"), QFINDTESTDATA("tls/loopback.key"));
    server.answerAlways(answer("207 Multi-Status", "<multistatus xmlns=\"DAV:\"/>"));
    auto network = std::make_unique<QNetworkAccessManager>();
    DavAccount account = davAccount(server.url(u"/ann/book/"_qs));
    account.trustedSha256 = trusted;
    auto client = std::make_unique<CardDavClient>(*network, account);
    const DavResult result = listEtags(*client).result;
    QCOMPARE(result.outcome, expected);
    if (expected == DavOutcome::CertificateError) {
      QVERIFY(!result.certificateErrors.isEmpty());
      QVERIFY2(result.message.contains(u"self-signed"_qs, Qt::CaseInsensitive),
               qPrintable(result.message));
      // What the account dialog shows so that the user can decide to trust it.
      QCOMPARE(result.certificateSha256, kLoopbackSha256);
      QCOMPARE(server.received.size(), 0);
    } else {
      QCOMPARE(server.received.size(), 1);
      QCOMPARE(server.received[0].headers.value("authorization"),
               QByteArray("Basic YW5uOnNlY3JldA=="));
    }
    // The manager's thread holds OpenSSL's state for that thread until it ends: it ends here,
    // not after the program's end, where the sanitizer would count that state as leaked.
    client.reset();
    network.reset();
    QTRY_COMPARE(threadCount(), threadsBefore_);
  }
};

QTEST_GUILESS_MAIN(CardDavTlsTest)
#include "test_carddav_tls.moc"
