#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <map>
#include <memory>

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

// Radicale and Xandikos for a suite whose every case runs on both (the global data column
// "server"), each started on first use from the launcher beside the test.
class DavServers {
 public:
  static void addRows() {
    QTest::addColumn<QString>("server");
    QTest::newRow("radicale") << u"radicale"_qs;
    QTest::newRow("xandikos") << u"xandikos"_qs;
  }
  static QString kind() {
    QFETCH_GLOBAL(QString, server);
    return server;
  }
  static bool isRadicale() { return kind() == u"radicale"_qs; }
  // nullptr, with a warning, when it did not start.
  DavServer* get() {
    std::unique_ptr<DavServer>& running = running_[kind()];
    if (!running) {
      running = std::make_unique<DavServer>();
      if (!running->start(kind(), QFINDTESTDATA("dav_server.py"))) {
        qWarning("%s", qPrintable(running->error()));
        running.reset();
      }
    }
    return running.get();
  }
  void clear() { running_.clear(); }

 private:
  std::map<QString, std::unique_ptr<DavServer>> running_;
};

}  // namespace tavelin::test
