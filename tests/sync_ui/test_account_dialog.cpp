// The "Server account" dialog's Test against a real Radicale and a scripted TLS server, the
// yes that plain http to another machine needs, and what OK hands over.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSpinBox>
#include <QSslSocket>
#include <QtTest>

#include "dav_server.h"
#include "fake_http_server.h"
#include "platform/fake/fake_platform.h"
#include "support/fake_record_view.h"
#include "support/test_env.h"
#include "sync_ui/account_dialog.h"
#include "sync_ui/sync_controller.h"

using namespace tavelin;
using sync_ui::AccountDialog;
using test::FakeHttpServer;

namespace {

const QByteArray kLoopbackSha256 =
    "883c19d823ae19f78405283f52a3790b1135a776068ec74a4dca8ef87ee22501";

sync::SyncSettings account(const QString& url) {
  sync::SyncSettings s;
  s.url = url;
  s.user = QStringLiteral("ann");
  return s;
}

// Tests and waits, bounded, for the answer.
bool testAndWait(AccountDialog& dialog) {
  dialog.testButton->click();
  return QTest::qWaitFor([&] { return !dialog.isTesting(); }, 20'000);
}

}  // namespace

class TestAccountDialog : public QObject {
  Q_OBJECT

 private:
  test::DavServer radicale_;
  QNetworkAccessManager network_;
  platform::FakeDialogs dialogs_;

  // A second address book beside "Friends", made as any client would.
  bool makeSecondBook() {
    QNetworkRequest request(radicale_.root().resolved(QUrl(QStringLiteral("/ann/work/"))));
    request.setRawHeader("Authorization", "Basic YW5uOnNlY3JldA==");
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/xml"));
    const QByteArray body =
        "<?xml version=\"1.0\"?><d:mkcol xmlns:d=\"DAV:\" "
        "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:set><d:prop><d:resourcetype>"
        "<d:collection/><c:addressbook/></d:resourcetype><d:displayname>Work</d:displayname>"
        "</d:prop></d:set></d:mkcol>";
    QNetworkReply* reply = network_.sendCustomRequest(request, "MKCOL", body);
    const bool ended = QTest::qWaitFor([reply] { return reply->isFinished(); }, 10'000);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    return ended && status == 201;
  }

 private Q_SLOTS:
  void initTestCase() {
    if (!radicale_.start(QStringLiteral("radicale"), QStringLiteral(DAV_SERVER_LAUNCHER))) {
      QFAIL(qPrintable(radicale_.error()));
    }
  }
  void init() { dialogs_.clear(); }

  void findsTheAddressBook_data() {
    QTest::addColumn<bool>("serverOnly");
    QTest::newRow("the address book's URL") << false;
    QTest::newRow("only the server's address") << true;
  }
  void findsTheAddressBook() {
    QFETCH(bool, serverOnly);
    const QUrl typed = serverOnly ? radicale_.root() : radicale_.addressBook();
    AccountDialog dialog(dialogs_, network_, account(typed.toString()), QStringLiteral("secret"));
    dialog.intervalSpin->setValue(30);
    QVERIFY(testAndWait(dialog));
    QVERIFY2(dialog.resultLabel->text().contains(QLatin1String("\"Friends\"")),
             qPrintable(dialog.resultLabel->text()));
    QVERIFY(dialog.bookList->isHidden());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // The address book found is what the sync uses, not the server's address.
    QCOMPARE(QUrl(dialog.settings().url), radicale_.addressBook());
    QCOMPARE(dialog.settings().intervalMinutes, 30);
    QCOMPARE(dialog.password(), QStringLiteral("secret"));
    QVERIFY(dialogs_.shown.empty());  // loopback http needs no yes
  }

  void aWrongPassword() {
    AccountDialog dialog(dialogs_, network_, account(radicale_.addressBook().toString()),
                         QStringLiteral("wrong"));
    QVERIFY(testAndWait(dialog));
    QVERIFY2(dialog.resultLabel->text().contains(QLatin1String("refused")),
             qPrintable(dialog.resultLabel->text()));
    QVERIFY(!dialog.resultLabel->text().contains(QLatin1String("wrong")));
  }

  // Runs last among the Radicale tests: the second book stays.
  void severalAddressBooksToPickFrom() {
    QVERIFY(makeSecondBook());
    AccountDialog dialog(dialogs_, network_, account(radicale_.root().toString()),
                         QStringLiteral("secret"));
    QVERIFY(testAndWait(dialog));
    QCOMPARE(dialog.bookList->count(), 2);
    QVERIFY(!dialog.bookList->isHidden());
    QStringList names;
    for (int i = 0; i < dialog.bookList->count(); ++i) names << dialog.bookList->item(i)->text();
    names.sort();
    QCOMPARE(names, (QStringList{"Friends", "Work"}));
    // OK without a pick: told, and the dialog stays.
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialogs_.shown.size(), size_t(1));
    const QList<QListWidgetItem*> work =
        dialog.bookList->findItems(QStringLiteral("Work"), Qt::MatchExactly);
    QCOMPARE(work.size(), 1);
    dialog.bookList->setCurrentItem(work.first());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(QUrl(dialog.settings().url).path(), QStringLiteral("/ann/work/"));
  }

  void plainHttpToAnotherMachine_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("refused") << false;
    QTest::newRow("accepted") << true;
  }
  void plainHttpToAnotherMachine() {
    QFETCH(bool, yes);
    // A documentation address: nothing may be sent to it in either case.
    AccountDialog dialog(dialogs_, network_, account(QStringLiteral("http://192.0.2.7:5232/")),
                         QStringLiteral("secret"));
    dialogs_.answers.push_back(platform::Button::No);
    dialog.testButton->click();
    QVERIFY(!dialog.isTesting());
    QCOMPARE(dialogs_.shown.size(), size_t(1));
    const platform::Message& warning = dialogs_.shown[0];
    QVERIFY2(warning.text.contains(QLatin1String("192.0.2.7:5232")), qPrintable(warning.text));
    QCOMPARE(warning.buttons, platform::Buttons::YesNo);
    QCOMPARE(warning.defaultButton, platform::Button::No);
    QVERIFY(dialog.resultLabel->text().startsWith(QLatin1String("Not tested")));

    dialogs_.answers.push_back(yes ? platform::Button::Yes : platform::Button::No);
    dialog.accept();
    QCOMPARE(dialogs_.shown.size(), size_t(2));
    QCOMPARE(dialog.result(), int(yes ? QDialog::Accepted : QDialog::Rejected));
    if (yes) QCOMPARE(dialog.settings().plainHttpHost, QStringLiteral("192.0.2.7:5232"));
  }

  // A yes saved before is not asked again; it was for that one server only.
  void plainHttpYesIsPerServer() {
    sync::SyncSettings s = account(QStringLiteral("http://192.0.2.7:5232/"));
    s.plainHttpHost = QStringLiteral("192.0.2.7:5232");
    AccountDialog dialog(dialogs_, network_, s, QString());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialogs_.shown.empty());
    AccountDialog other(dialogs_, network_, s, QString());
    other.urlEdit->setText(QStringLiteral("http://192.0.2.8:5232/"));
    other.accept();
    QCOMPARE(dialogs_.shown.size(), size_t(1));
    QCOMPARE(other.result(), int(QDialog::Rejected));
  }

  void okSavesTheAccount_data();
  void okSavesTheAccount();

  void trustASelfSignedCertificate() {
    if (!QSslSocket::supportsSsl()) QSKIP("no TLS backend");
    FakeHttpServer server(QStringLiteral(TLS_FOLDER "/loopback.pem"),
                          QStringLiteral(TLS_FOLDER "/loopback.key"));
    server.handler = [](const FakeHttpServer::Request&) {
      FakeHttpServer::Answer answer;
      answer.body =
          "<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
          "<d:response><d:href>/ann/book/</d:href><d:propstat><d:prop><d:resourcetype>"
          "<d:collection/><c:addressbook/></d:resourcetype><d:displayname>Office"
          "</d:displayname></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
          "</d:response></d:multistatus>";
      return answer;
    };
    AccountDialog dialog(dialogs_, network_,
                         account(server.url(QStringLiteral("/ann/book/")).toString()),
                         QStringLiteral("secret"));
    QVERIFY(testAndWait(dialog));
    const QString shown = dialog.resultLabel->text();
    QVERIFY2(shown.contains(QLatin1String("88:3C:19:D8")), qPrintable(shown));
    QVERIFY2(shown.contains(QLatin1String("self-signed"), Qt::CaseInsensitive), qPrintable(shown));
    QVERIFY(!dialog.trustBox->isHidden());
    QCOMPARE(server.received.size(), 0);  // nothing sent to a server not trusted

    dialog.trustBox->setChecked(true);
    QVERIFY(testAndWait(dialog));
    QVERIFY2(dialog.resultLabel->text().contains(QLatin1String("\"Office\"")),
             qPrintable(dialog.resultLabel->text()));
    dialog.accept();
    QCOMPARE(dialog.settings().trustedSha256, kLoopbackSha256);
  }
};

// "Server account..." from the window: OK writes the settings and puts the password in the
// secret store, or keeps it for this run where there is none, and a sync follows.
void TestAccountDialog::okSavesTheAccount_data() {
  QTest::addColumn<bool>("secretStore");
  QTest::newRow("with a secret store") << true;
  QTest::newRow("without one") << false;
}

void TestAccountDialog::okSavesTheAccount() {
  QFETCH(bool, secretStore);
  test::TestEnvironment env;
  platform::FakePlatform platform(env.configRoot());
  platform.fakeSecrets.backend = secretStore;
  test::FakeRecordView view;
  sync_ui::SyncController controller(platform, view, QStringLiteral("TAVELIN.FIL"), {});
  bool filled = false;
  QTimer::singleShot(0, this, [&filled] {
    auto* dialog = qobject_cast<AccountDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->urlEdit->setText(QStringLiteral("https://dav.example.org/ann/book/"));
    dialog->userEdit->setText(QStringLiteral("ann"));
    dialog->passwordEdit->setText(QStringLiteral("pw-4711"));
    dialog->intervalSpin->setValue(5);
    filled = true;
    dialog->accept();
  });
  controller.editAccount(nullptr);
  QVERIFY(filled);
  const sync::SyncSettings saved = sync::readSyncSettings(platform.fakeSettings);
  QCOMPARE(saved.url, QStringLiteral("https://dav.example.org/ann/book/"));
  QCOMPARE(saved.user, QStringLiteral("ann"));
  QCOMPARE(saved.intervalMinutes, 5);
  for (const QString& value : platform.fakeSettings.values) {
    QVERIFY(!value.contains(QLatin1String("pw-4711")));
  }
  const QString key = platform::FakeSecretStore::key(sync::kSecretService, saved.secretAccount());
  QCOMPARE(platform.fakeSecrets.secrets.value(key),
           secretStore ? QStringLiteral("pw-4711") : QString());
  QCOMPARE(controller.nextSync(), platform.fakeClock.time);
}

QTEST_MAIN(TestAccountDialog)
#include "test_account_dialog.moc"
