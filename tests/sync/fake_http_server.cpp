#include "fake_http_server.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>
#include <memory>

namespace tavelin::test {

FakeHttpServer::FakeHttpServer() : server_(std::make_unique<QTcpServer>()) {
  listen();
}

FakeHttpServer::FakeHttpServer(const QString& certificatePem, const QString& keyPem) {
  QFile certificate(certificatePem);
  QFile key(keyPem);
  certificate.open(QIODevice::ReadOnly);
  key.open(QIODevice::ReadOnly);
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setLocalCertificate(QSslCertificate(certificate.readAll()));
  tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
  auto server = std::make_unique<QSslServer>();
  server->setSslConfiguration(tls);
  server_ = std::move(server);
  tls_ = true;
  listen();
}

void FakeHttpServer::listen() {
  server_->listen(QHostAddress::LocalHost);
  connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
    while (QTcpSocket* socket = server_->nextPendingConnection()) serve(socket);
  });
}

QUrl FakeHttpServer::url(const QString& path) const {
  return QUrl(u"%1://127.0.0.1:%2%3"_qs.arg(tls_ ? u"https"_qs : u"http"_qs)
                  .arg(server_->serverPort())
                  .arg(path));
}

void FakeHttpServer::serve(QTcpSocket* socket) {
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
    ++closedConnections;
    socket->deleteLater();
  });
  auto buffer = std::make_shared<QByteArray>();
  connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
    *buffer += socket->readAll();
    const qsizetype headEnd = buffer->indexOf("\r\n\r\n");
    if (headEnd < 0) return;
    Request request;
    const QList<QByteArray> lines = buffer->left(headEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const qsizetype colon = lines[i].indexOf(':');
      if (colon > 0) {
        request.headers[lines[i].left(colon).trimmed().toLower()] =
            lines[i].mid(colon + 1).trimmed();
      }
    }
    const qsizetype length = request.headers.value("content-length").toLongLong();
    if (buffer->size() < headEnd + 4 + length) return;
    request.body = buffer->mid(headEnd + 4, length);
    buffer->clear();
    received.append(request);
    const Answer answer = handler ? handler(request) : Answer{};
    if (answer.silent) return;
    QByteArray head = "HTTP/1.1 " + answer.status + "\r\n";
    for (const auto& [name, value] : answer.headers) head += name + ": " + value + "\r\n";
    if (!answer.endless) {
      const qint64 declared =
          answer.declaredLength >= 0 ? answer.declaredLength : answer.body.size();
      head += "Content-Length: " + QByteArray::number(declared) + "\r\n";
    }
    socket->write(head + "Connection: close\r\n\r\n" + answer.body);
    if (!answer.endless) {
      if (answer.declaredLength < 0) socket->disconnectFromHost();
      return;
    }
    // Refilled as it drains, so that the body never ends but memory stays small.
    connect(socket, &QTcpSocket::bytesWritten, socket, [socket, body = answer.body] {
      if (socket->state() == QAbstractSocket::ConnectedState &&
          socket->bytesToWrite() < (1 << 20)) {
        socket->write(body);
      }
    });
  });
}

}  // namespace tavelin::test
