#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

namespace tavelin::test {

// A real CardDAV server (Radicale or Xandikos) on a free loopback port with its storage in a
// temporary folder and one address book, started by dav_server.py and stopped with it.
class DavServer {
 public:
  // "radicale" or "xandikos"; false with the reason in error() when it did not start.
  bool start(const QString& kind, const QString& launcher);
  ~DavServer();
  void stop();
  // Starts it again on the same port over the same storage, after stop().
  bool restart();

  QUrl root() const;         // http://127.0.0.1:PORT/
  QUrl addressBook() const;  // the address book made at start
  QString error() const { return error_; }

 private:
  QTemporaryDir storage_;
  QProcess process_;
  int port_ = 0;
  QString path_;
  QString error_;
  QString kind_;
  QString launcher_;
};

}  // namespace tavelin::test
