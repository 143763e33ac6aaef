#include "dav_server.h"

#include <QDeadlineTimer>
#include <QFile>

namespace tavelin::test {

bool DavServer::start(const QString& kind, const QString& launcher) {
  kind_ = kind;
  launcher_ = launcher;
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // Debian's interpreter: it is the one the servers' modules were installed for.
  const QString python =
      QFile::exists(u"/usr/bin/python3"_qs) ? u"/usr/bin/python3"_qs : u"python3"_qs;
  QStringList arguments{launcher, kind, storage_.path()};
  if (port_ > 0) arguments << QString::number(port_);
  process_.start(python, arguments);
  if (!process_.waitForStarted(10'000)) {
    error_ = process_.errorString();
    return false;
  }
  // The launcher prints its line once the server answers; it gives up by itself after 15 s.
  const QDeadlineTimer deadline(30'000);
  while (!process_.canReadLine() && process_.state() == QProcess::Running &&
         !deadline.hasExpired()) {
    process_.waitForReadyRead(20'000);
  }
  const QList<QByteArray> parts = process_.readLine().trimmed().split(' ');
  if (parts.size() != 2 || parts[0].toInt() <= 0) {
    error_ = kind + u" did not start; see "_qs + storage_.filePath("server.log");
    storage_.setAutoRemove(false);
    return false;
  }
  port_ = parts[0].toInt();
  path_ = QString::fromLatin1(parts[1]);
  return true;
}

bool DavServer::restart() {
  stop();
  return start(kind_, launcher_);
}

DavServer::~DavServer() {
  stop();
}

void DavServer::stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.closeWriteChannel();
  if (!process_.waitForFinished(15'000)) {
    process_.kill();
    process_.waitForFinished(5'000);
  }
}

QUrl DavServer::root() const {
  return QUrl(u"http://127.0.0.1:%1/"_qs.arg(port_));
}

QUrl DavServer::addressBook() const {
  return root().resolved(QUrl(path_));
}

}  // namespace tavelin::test
