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
  QUrl url(const QString& path = QStringLiteral("/")) const;

  std::function<Answer(const Request&)> handler;
  QList<Request> received;
  int closedConnections = 0;

 private:
  void listen();
  void serve(class QTcpSocket* socket);
  std::unique_ptr<QTcpServer> server_;
  bool tls_ = false;
};

}  // namespace tavelin::test
