#pragma once

#include <QByteArray>
#include <QDialog>
#include <QUrl>
#include <memory>

#include "sync/carddav_client.h"
#include "sync/sync_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QNetworkAccessManager;
class QPushButton;
class QSpinBox;

namespace tavelin::platform {
class Dialogs;
}

namespace tavelin::sync_ui {

// "Server account": the address book's URL or the server's address, the user, the password,
// the interval, and "Test", which asks the server what is there without blocking the window.
// Plain http to another machine needs a yes naming the server; a certificate that fails the
// checks can be trusted by its fingerprint. The caller saves settings() and password() on OK.
class AccountDialog final : public QDialog {
  Q_OBJECT

 public:
  AccountDialog(platform::Dialogs& dialogs, QNetworkAccessManager& network,
                const sync::SyncSettings& settings, const QString& password,
                QWidget* parent = nullptr);
  ~AccountDialog() override;

  // After OK: the account to save.
  const sync::SyncSettings& settings() const { return result_; }
  QString password() const;

  void test();
  bool isTesting() const { return client_ != nullptr; }
  void accept() override;

  QLineEdit* urlEdit = nullptr;
  QLineEdit* userEdit = nullptr;
  QLineEdit* passwordEdit = nullptr;
  QSpinBox* intervalSpin = nullptr;
  QPushButton* testButton = nullptr;
  QLabel* resultLabel = nullptr;
  QListWidget* bookList = nullptr;  // several address books: the user picks one
  QCheckBox* trustBox = nullptr;    // a certificate error: trust this certificate

 private:
  sync::SyncSettings fromFields() const;
  // The user's yes to plain http to the server, asked once per server; true when not needed.
  bool plainHttpAllowed(const QUrl& url);
  void probed(const sync::CollectionInfo& info);
  void discovered(const sync::Discovery& found);
  void failed(const sync::DavResult& result);
  void showResult(const QString& text);
  void endTest();
  void urlChanged();

  platform::Dialogs& dialogs_;
  QNetworkAccessManager& network_;
  sync::SyncSettings initial_;
  sync::SyncSettings result_;
  std::unique_ptr<sync::CardDavClient> client_;
  QUrl found_;             // the one address book the last test found
  QByteArray trusted_;     // the fingerprint trusted, as saved or chosen here
  QByteArray offered_;     // the fingerprint of the certificate the last test met
  QString plainHttpHost_;  // the server the user agreed to reach over plain http
};

}  // namespace tavelin::sync_ui
