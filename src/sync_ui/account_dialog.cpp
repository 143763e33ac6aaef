#include "sync_ui/account_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/dialogs.h"

namespace tavelin::sync_ui {

namespace {

const QString kTitle = QStringLiteral("Server account");

// "AB:CD:..." as certificate viewers show it.
QString colonHex(const QByteArray& hex) {
  QStringList pairs;
  for (qsizetype i = 0; i + 1 < hex.size(); i += 2) {
    pairs << QString::fromLatin1(hex.mid(i, 2)).toUpper();
  }
  return pairs.join(u':');
}

QString bookName(const sync::AddressBookInfo& book) {
  return book.displayName.isEmpty() ? book.url.path() : book.displayName;
}

}  // namespace

AccountDialog::AccountDialog(platform::Dialogs& dialogs, QNetworkAccessManager& network,
                             const sync::SyncSettings& settings, const QString& password,
                             QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      network_(network),
      initial_(settings),
      result_(settings),
      trusted_(settings.trustedSha256),
      plainHttpHost_(settings.plainHttpHost) {
  setWindowTitle(kTitle);
  setObjectName(QStringLiteral("frmAccount"));
  auto* form = new QFormLayout;
  urlEdit = new QLineEdit(settings.url, this);
  urlEdit->setObjectName(QStringLiteral("urlEdit"));
  urlEdit->setPlaceholderText(QStringLiteral("https://dav.example.org/ or an address book's URL"));
  form->addRow(QStringLiteral("&URL:"), urlEdit);
  userEdit = new QLineEdit(settings.user, this);
  userEdit->setObjectName(QStringLiteral("userEdit"));
  form->addRow(QStringLiteral("U&ser:"), userEdit);
  passwordEdit = new QLineEdit(password, this);
  passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
  passwordEdit->setEchoMode(QLineEdit::Password);
  if (!settings.passwordFile.isEmpty()) {
    // A scripted setup keeps its password in its file; this field only tests with it.
    passwordEdit->setPlaceholderText(QStringLiteral("from ") + settings.passwordFile);
  }
  form->addRow(QStringLiteral("&Password:"), passwordEdit);

  auto* every = new QHBoxLayout;
  auto* everyLabel = new QLabel(QStringLiteral("Synchronise &every"), this);
  intervalSpin = new QSpinBox(this);
  intervalSpin->setObjectName(QStringLiteral("intervalSpin"));
  intervalSpin->setRange(0, sync::kMaxIntervalMinutes);
  intervalSpin->setValue(settings.intervalMinutes);
  intervalSpin->setToolTip(QStringLiteral("0: only on demand and after changes"));
  everyLabel->setBuddy(intervalSpin);
  every->addWidget(everyLabel);
  every->addWidget(intervalSpin);
  every->addWidget(new QLabel(QStringLiteral("minutes"), this));
  every->addStretch();

  testButton = new QPushButton(QStringLiteral("&Test"), this);
  testButton->setObjectName(QStringLiteral("testButton"));
  resultLabel = new QLabel(this);
  resultLabel->setObjectName(QStringLiteral("resultLabel"));
  resultLabel->setWordWrap(true);
  resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bookList = new QListWidget(this);
  bookList->setObjectName(QStringLiteral("bookList"));
  bookList->setAccessibleName(QStringLiteral("Address books"));
  bookList->hide();
  trustBox = new QCheckBox(this);
  trustBox->setObjectName(QStringLiteral("trustBox"));
  trustBox->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("buttonBox"));

  auto* testRow = new QHBoxLayout;
  testRow->addWidget(testButton);
  testRow->addWidget(resultLabel, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(every);
  layout->addLayout(testRow);
  layout->addWidget(bookList);
  layout->addWidget(trustBox);
  layout->addWidget(buttons);

  connect(testButton, &QPushButton::clicked, this, &AccountDialog::test);
  connect(buttons, &QDialogButtonBox::accepted, this, &AccountDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &AccountDialog::reject);
  connect(urlEdit, &QLineEdit::textEdited, this, &AccountDialog::urlChanged);
  connect(trustBox, &QCheckBox::toggled, this, [this](bool on) {
    if (on) {
      trusted_ = offered_;
    } else if (trusted_ == offered_) {
      trusted_.clear();
    }
  });
}

AccountDialog::~AccountDialog() = default;

QString AccountDialog::password() const {
  return passwordEdit->text();
}

sync::SyncSettings AccountDialog::fromFields() const {
  sync::SyncSettings s = initial_;
  s.url = urlEdit->text().trimmed();
  s.user = userEdit->text().trimmed();
  s.intervalMinutes = intervalSpin->value();
  s.trustedSha256 = trusted_;
  s.plainHttpHost = plainHttpHost_;
  return s;
}

bool AccountDialog::plainHttpAllowed(const QUrl& url) {
  if (!sync::needsPlainHttpConsent(url)) return true;
  const QString server = sync::serverKey(url);
  if (server.compare(plainHttpHost_, Qt::CaseInsensitive) == 0) return true;
  platform::Message box;
  box.title = kTitle;
  box.text = QStringLiteral(
                 "%1 is reached over plain http: the password and every contact "
                 "travel unencrypted, readable by anyone on the way.\n\nUse plain "
                 "http to %1 anyway?")
                 .arg(server);
  box.buttons = platform::Buttons::YesNo;
  box.icon = platform::Icon::Exclamation;
  box.defaultButton = platform::Button::No;
  if (dialogs_.message(box) != platform::Button::Yes) return false;
  plainHttpHost_ = server;
  return true;
}

void AccountDialog::showResult(const QString& text) {
  resultLabel->setText(text);
}

void AccountDialog::urlChanged() {
  found_.clear();
  bookList->clear();
  bookList->hide();
}

void AccountDialog::test() {
  if (client_) return;
  const sync::SyncSettings s = fromFields();
  const QUrl url = s.serverUrl();
  if (!s.configured()) {
    showResult(QStringLiteral("Type the server's address or the address book's URL first."));
    return;
  }
  if (!url.isValid() || url.host().isEmpty()) {
    showResult(s.url + QStringLiteral(": not a server address"));
    return;
  }
  if (!plainHttpAllowed(url)) {
    showResult(
        QStringLiteral("Not tested: plain http to %1 was not accepted.").arg(sync::serverKey(url)));
    return;
  }
  sync::DavAccount account;
  account.url = url;
  account.user = s.user;
  account.password = passwordEdit->text();
  account.trustedSha256 = s.trustedSha256;
  account.allowInsecureHttp = sync::needsPlainHttpConsent(url);
  client_ = std::make_unique<sync::CardDavClient>(network_, account);
  found_.clear();
  bookList->clear();
  bookList->hide();
  testButton->setEnabled(false);
  showResult(QStringLiteral("Asking %1...").arg(url.host()));
  // The client calls back only while it lives, and it lives no longer than this dialog.
  client_->probeCollection([this](sync::CollectionInfo info) { probed(info); });
}

void AccountDialog::endTest() {
  // Called from the client's own callback: it goes once that is over.
  if (client_) client_.release()->deleteLater();
  testButton->setEnabled(true);
}

void AccountDialog::probed(const sync::CollectionInfo& info) {
  using sync::DavOutcome;
  if (info.result.ok() && info.isAddressBook) {
    found_ = client_->collection();
    showResult(QStringLiteral("Found the address book \"%1\".")
                   .arg(info.displayName.isEmpty() ? found_.path() : info.displayName));
    endTest();
    return;
  }
  const DavOutcome outcome = info.result.outcome;
  if (!info.result.ok() && outcome != DavOutcome::NotFound && outcome != DavOutcome::HttpError) {
    failed(info.result);
    return;
  }
  // Not an address book itself: a server's address, or a principal; look for the books.
  client_->discover([this](sync::Discovery found) { discovered(found); });
}

void AccountDialog::discovered(const sync::Discovery& found) {
  if (!found.result.ok()) {
    failed(found.result);
    return;
  }
  const QString host = client_->collection().host();
  if (found.addressBooks.empty()) {
    showResult(QStringLiteral("%1: no address book found for this user.").arg(host));
  } else if (found.addressBooks.size() == 1) {
    found_ = found.addressBooks.front().url;
    showResult(
        QStringLiteral("Found the address book \"%1\".").arg(bookName(found.addressBooks.front())));
  } else {
    for (const sync::AddressBookInfo& book : found.addressBooks) {
      auto* item = new QListWidgetItem(bookName(book), bookList);
      item->setData(Qt::UserRole, book.url);
      item->setToolTip(book.url.toString());
    }
    bookList->show();
    showResult(QStringLiteral("%1 has %2 address books: pick the one to synchronise.")
                   .arg(host)
                   .arg(found.addressBooks.size()));
  }
  endTest();
}

void AccountDialog::failed(const sync::DavResult& result) {
  QString text = result.message.isEmpty() ? sync::describe(result.outcome) : result.message;
  if (result.outcome == sync::DavOutcome::CertificateError && !result.certificateSha256.isEmpty()) {
    offered_ = result.certificateSha256;
    text += QStringLiteral("\nSHA-256 fingerprint: ") + colonHex(offered_);
    trustBox->setText(
        QStringLiteral("T&rust this certificate (check its fingerprint with the "
                       "server's administrator first)"));
    trustBox->setChecked(false);
    trustBox->show();
  }
  showResult(text);
  endTest();
}

void AccountDialog::accept() {
  sync::SyncSettings s = fromFields();
  if (s.configured()) {
    const QUrl url = s.serverUrl();
    if (!url.isValid() || url.host().isEmpty()) {
      platform::showMessage(dialogs_, s.url + QStringLiteral(": not a server address"),
                            platform::Buttons::Ok, platform::Icon::Exclamation, kTitle);
      return;
    }
    if (!plainHttpAllowed(url)) return;
    s.plainHttpHost = plainHttpHost_;
    if (bookList->isVisible() || bookList->count() > 0) {
      const QListWidgetItem* picked = bookList->currentItem();
      if (!picked || !picked->isSelected()) {
        platform::showMessage(dialogs_,
                              QStringLiteral("Pick the address book to synchronise first."),
                              platform::Buttons::Ok, platform::Icon::Exclamation, kTitle);
        return;
      }
      s.url = picked->data(Qt::UserRole).toUrl().toString();
    } else if (!found_.isEmpty()) {
      s.url = found_.toString();
    }
  }
  result_ = s;
  QDialog::accept();
}

}  // namespace tavelin::sync_ui
