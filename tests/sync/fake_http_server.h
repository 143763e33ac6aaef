#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <functional>
#include <memory>

namespace tavelin::test {

// A scripted HTTP/1.1 server on a free loopback port for the answers no real server gives:
// each request is recorded and answered by the handler, then the connection closes.
class FakeHttpServer : public QObject {
  Q_OBJECT

 public:
  struct Request {
    QByteArray method;
    QByteArray path;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
  };
  struct Answer {
    QByteArray status = "207 Multi-Status";
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool endless = false;        // the body repeated until the client hangs up
    qint64 declaredLength = -1;  // a Content-Length other than the body's
    bool silent = false;         // no answer at all, the connection left open
  };

  FakeHttpServer();
  // Over TLS with this certificate and key (PEM files).
  FakeHttpServer(const QString& certificatePem, const QString& keyPem);
  QUrl url(const QString& path = u"/"_qs) const;
  void answerAlways(const Answer& a) {
    handler = [a](const Request&) { return a; };
  }

  std::function<Answer(const Request&)> handler;
  QList<Request> received;
  int closedConnections = 0;

 private:
  void listen();
  void serve(class QTcpSocket* socket);
  std::unique_ptr<QTcpServer> server_;
  bool tls_ = false;
};

// Multistatus bodies as the scripted servers write them.
inline QByteArray multistatus(const QByteArray& inner, const QByteArray& token = {}) {
  return "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" "
         "xmlns:c=\"urn:ietf:params:xml:ns:carddav\">" +
         inner + (token.isEmpty() ? QByteArray() : "<d:sync-token>" + token + "</d:sync-token>") +
         "</d:multistatus>";
}

inline QByteArray member(const QByteArray& href, const QByteArray& etag,
                         const QByteArray& card = {}) {
  return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop><d:getetag>" + etag +
         "</d:getetag>" +
         (card.isEmpty() ? QByteArray() : "<c:address-data>" + card + "</c:address-data>") +
         "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
}

inline FakeHttpServer::Answer answer(const QByteArray& status, const QByteArray& body = {}) {
  FakeHttpServer::Answer a;
  a.status = status;
  a.body = body;
  return a;
}

}  // namespace tavelin::test
