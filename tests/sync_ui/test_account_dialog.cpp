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
  s.user = u"ann"_qs;
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
    QNetworkRequest request(radicale_.root().resolved(QUrl(u"/ann/work/"_qs)));
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
    if (!radicale_.start(u"radicale"_qs, QStringLiteral(DAV_SERVER_LAUNCHER))) {
      QFAIL(qPrintable(radicale_.error()));
    }
  }
  void init() { dialogs_.clear(); }

  void findsTheAddressBook_data() {
    QTest::addColumn<bool>("serverOnly");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("told");
    QTest::newRow("the address book's URL") << false << u"secret"_qs << u"\"Friends\""_qs;
    QTest::newRow("only the server's address") << true << u"secret"_qs << u"\"Friends\""_qs;
    QTest::newRow("a wrong password") << false << u"wrong"_qs << u"refused"_qs;
  }
  void findsTheAddressBook() {
    QFETCH(bool, serverOnly);
    QFETCH(QString, password);
    QFETCH(QString, told);
    const QUrl typed = serverOnly ? radicale_.root() : radicale_.addressBook();
    AccountDialog dialog(dialogs_, network_, account(typed.toString()), password);
    dialog.intervalSpin->setValue(30);
    QVERIFY(testAndWait(dialog));
    const QString shown = dialog.resultLabel->text();
    QVERIFY2(shown.contains(told) && !shown.contains(u"wrong"_qs), qPrintable(shown));
    if (password != u"secret"_qs) return;
    QVERIFY(dialog.bookList->isHidden());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // The address book found is what the sync uses, not the server's address.
    QCOMPARE(QUrl(dialog.settings().url), radicale_.addressBook());
    QCOMPARE(dialog.settings().intervalMinutes, 30);
    QCOMPARE(dialog.password(), u"secret"_qs);
    QVERIFY(dialogs_.shown.empty());  // loopback http needs no yes
  }

  // Runs last among the Radicale tests: the second book stays.
  void severalAddressBooksToPickFrom() {
    QVERIFY(makeSecondBook());
    AccountDialog dialog(dialogs_, network_, account(radicale_.root().toString()), u"secret"_qs);
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
    const QList<QListWidgetItem*> work = dialog.bookList->findItems(u"Work"_qs, Qt::MatchExactly);
    QCOMPARE(work.size(), 1);
    dialog.bookList->setCurrentItem(work.first());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(QUrl(dialog.settings().url).path(), u"/ann/work/"_qs);
  }

  void plainHttpToAnotherMachine_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("refused") << false;
    QTest::newRow("accepted") << true;
  }
  void plainHttpToAnotherMachine() {
    QFETCH(bool, yes);
    // A documentation address: nothing may be sent to it in either case.
    AccountDialog dialog(dialogs_, network_, account(u"http://192.0.2.7:5232/"_qs), u"secret"_qs);
    dialogs_.answers.push_back(platform::Button::No);
    dialog.testButton->click();
    QVERIFY(!dialog.isTesting());
    QCOMPARE(dialogs_.shown.size(), size_t(1));
    const platform::Message& warning = dialogs_.shown[0];
    QVERIFY2(warning.text.contains(u"192.0.2.7:5232"_qs), qPrintable(warning.text));
    QCOMPARE(warning.buttons, platform::Buttons::YesNo);
    QCOMPARE(warning.defaultButton, platform::Button::No);
    QVERIFY(dialog.resultLabel->text().startsWith(u"Not tested"_qs));

    dialogs_.answers.push_back(yes ? platform::Button::Yes : platform::Button::No);
    dialog.accept();
    QCOMPARE(dialogs_.shown.size(), size_t(2));
    QCOMPARE(dialog.result(), int(yes ? QDialog::Accepted : QDialog::Rejected));
    if (!yes) return;
    QCOMPARE(dialog.settings().plainHttpHost, u"192.0.2.7:5232"_qs);

    // The yes is kept, not asked again; it was for that one server only.
    AccountDialog again(dialogs_, network_, dialog.settings(), QString());
    again.accept();
    QCOMPARE(again.result(), int(QDialog::Accepted));
    QCOMPARE(dialogs_.shown.size(), size_t(2));
    AccountDialog other(dialogs_, network_, dialog.settings(), QString());
    other.urlEdit->setText(u"http://192.0.2.8:5232/"_qs);
    other.accept();
    QCOMPARE(dialogs_.shown.size(), size_t(3));
    QCOMPARE(other.result(), int(QDialog::Rejected));
  }

  // "Server account..." from the window: OK writes the settings and puts the password in the
  // secret store, or keeps it for this run where there is none, and a sync follows.
  void okSavesTheAccount_data() {
    QTest::addColumn<bool>("secretStore");
    QTest::newRow("with a secret store") << true;
    QTest::newRow("without one") << false;
  }
  void okSavesTheAccount() {
    QFETCH(bool, secretStore);
    test::TestEnvironment env;
    platform::FakePlatform platform(env.configRoot());
    platform.fakeSecrets.backend = secretStore;
    test::FakeRecordView view;
    sync_ui::SyncController controller(platform, view, u"TAVELIN.FIL"_qs, {});
    bool filled = false;
    QTimer::singleShot(0, this, [&filled] {
      auto* dialog = qobject_cast<AccountDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->urlEdit->setText(u"https://dav.example.org/ann/book/"_qs);
      dialog->userEdit->setText(u"ann"_qs);
      dialog->passwordEdit->setText(u"pw-4711"_qs);
      dialog->intervalSpin->setValue(5);
      filled = true;
      dialog->accept();
    });
    controller.editAccount(nullptr);
    QVERIFY(filled);
    const sync::SyncSettings saved = sync::readSyncSettings(platform.fakeSettings);
    QCOMPARE(saved.url, u"https://dav.example.org/ann/book/"_qs);
    QCOMPARE(saved.user, u"ann"_qs);
    QCOMPARE(saved.intervalMinutes, 5);
    for (const QString& value : platform.fakeSettings.values) {
      QVERIFY(!value.contains(u"pw-4711"_qs));
    }
    const QString key = platform::FakeSecretStore::key(sync::kSecretService, saved.secretAccount());
    QCOMPARE(platform.fakeSecrets.secrets.value(key), secretStore ? u"pw-4711"_qs : QString());
    QCOMPARE(controller.nextSync(), platform.fakeClock.time);
  }

  void trustASelfSignedCertificate() {
    if (!QSslSocket::supportsSsl()) QSKIP("no TLS backend");
    FakeHttpServer server(QStringLiteral(TLS_FOLDER "/loopback.pem"),
                          QStringLiteral(TLS_FOLDER "/loopback.key"));
    server.answerAlways(
        test::answer("207 Multi-Status",
                     test::multistatus("<d:response><d:href>/ann/book/</d:href><d:propstat>"
                                       "<d:prop><d:resourcetype><d:collection/><c:addressbook/>"
                                       "</d:resourcetype><d:displayname>Office</d:displayname>"
                                       "</d:prop><d:status>HTTP/1.1 200 OK</d:status>"
                                       "</d:propstat></d:response>")));
    AccountDialog dialog(dialogs_, network_, account(server.url(u"/ann/book/"_qs).toString()),
                         u"secret"_qs);
    QVERIFY(testAndWait(dialog));
    const QString shown = dialog.resultLabel->text();
    QVERIFY2(shown.contains(u"88:3C:19:D8"_qs), qPrintable(shown));
    QVERIFY2(shown.contains(u"self-signed"_qs, Qt::CaseInsensitive), qPrintable(shown));
    QVERIFY(!dialog.trustBox->isHidden());
    QCOMPARE(server.received.size(), 0);  // nothing sent to a server not trusted

    dialog.trustBox->setChecked(true);
    QVERIFY(testAndWait(dialog));
    QVERIFY2(dialog.resultLabel->text().contains(u"\"Office\""_qs),
             qPrintable(dialog.resultLabel->text()));
    dialog.accept();
    QCOMPARE(dialog.settings().trustedSha256, kLoopbackSha256);
  }
};

QTEST_MAIN(TestAccountDialog)
#include "test_account_dialog.moc"
