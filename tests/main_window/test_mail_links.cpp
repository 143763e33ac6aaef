#include <QAction>
#include <QHideEvent>
#include <QTest>
#include <QTimer>

#include "mail/browser_launch.h"
#include "mail/mail_and_web.h"
#include "mail/mailer.h"
#include "mail/message_edit.h"
#include "mainform_fixture.h"
#include "platform/qt/qt_launcher.h"

using namespace tavelin;

namespace {

// Shows the window and makes it active, so that its keys reach their menu items.
bool activated(QWidget& w) {
  w.show();
  w.activateWindow();
  return QTest::qWaitForWindowActive(&w);
}

}  // namespace

class MailLinksTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void mailFromMenusAndLabels() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("Ann Smith", {}, "ann@example.org"), test::recordLine("Bob"),
                     test::recordLine("Cy", {}, "cy@example.org")});
    auto& w = f.start();
    QVERIFY(activated(w));
    struct {
      int opened = 0;
      QString to;
      bool mainEnabled = true;
      QRect geometry;
    } seen;  // what the editor showed while it was open
    const auto record = [&](mail::Mailer& editor) {
      ++seen.opened;
      seen.to = editor.Dest->text();
      seen.mainEnabled = w.isEnabled();
      seen.geometry = editor.geometry();
      QCOMPARE(editor.focusWidget(), editor.Re);
      editor.QuitMailer();  // nothing written: closed at once
    };
    w.mail().whileOpen = record;

    QTest::keyClick(w.List1, Qt::Key_F9);
    QVERIFY(seen.opened == 1 && seen.to == u"ann@example.org"_qs && !seen.mainEnabled);
    QCOMPARE(seen.geometry, w.geometry());
    QVERIFY(w.isEnabled() && w.mail().mailer() == nullptr);
    QCOMPARE(w.Text15->text(), u"Ann Smith"_qs);
    QCOMPARE(w.focusWidget(), w.List1);
    w.menuItem("mnuMailAddress")->trigger();
    QCOMPARE(seen.to, u"Ann Smith"_qs);

    // No address: the message first, then the name as recipient.
    w.List1->setListIndex(1);
    w.menuItem("mnuMailEmail")->trigger();
    QCOMPARE(f.platform.fakeDialogs.texts(),
             QStringList{u"No E-Mail address, using 'Name' instead."_qs});
    QVERIFY(seen.opened == 3 && seen.to == u"Bob"_qs);
    // The envelope beside the e-mail field only goes to the list without an address.
    QTest::mouseClick(w.Label6, Qt::LeftButton);
    QVERIFY(seen.opened == 3 && w.focusWidget() == w.List1);
    QTest::mouseClick(w.Label5, Qt::LeftButton);
    QVERIFY(seen.opened == 4 && seen.to == u"Bob"_qs);
    w.List1->setListIndex(2);
    QTest::mouseClick(w.Label6, Qt::LeftButton);
    QVERIFY(seen.opened == 5 && seen.to == u"cy@example.org"_qs);

    // A hide event the desktop sends on minimising does not end the wait.
    bool stillOpen = false;
    w.mail().whileOpen = [&](mail::Mailer& editor) {
      QHideEvent minimised;
      QCoreApplication::sendEvent(&editor, &minimised);
      QTimer::singleShot(0, &editor, [&] {
        stillOpen = w.mail().mailer() == &editor;
        editor.CloseMailer();
      });
    };
    w.menuItem("mnuMailAddress")->trigger();
    QVERIFY(stillOpen && w.mail().mailer() == nullptr);
    w.mail().whileOpen = record;

    // While a record is edited neither envelope opens the editor (it would drop the typing).
    w.List1->setListIndex(0);
    w.EditRecord();
    QVERIFY(w.isCancelShown());
    QTest::mouseClick(w.Label5, Qt::LeftButton);
    QTest::mouseClick(w.Label6, Qt::LeftButton);
    QCOMPARE(seen.opened, 5);
    QVERIFY(w.isCancelShown());

    // The item mails all the same, and ends in browse mode. The greeting names the shown record;
    // the window's records resolve the name "Cy".
    w.mail().whileOpen = [&](mail::Mailer& editor) {
      editor.Re->setText(u"Hello"_qs);
      editor.EditBox->setText(u"Text"_qs);
      editor.ApplyGreeting();
      editor.Dest->setText(u"Cy"_qs);
      editor.QuitMailer();  // Yes by default
    };
    w.mail().mnuMailEmail_Click();
    const auto& sent = f.platform.fakeMailTransport.sent;
    QCOMPARE(sent.size(), size_t(1));
    QCOMPARE(sent.front(), (platform::OutgoingMail{u"\"Cy\" <cy@example.org>"_qs, u"Hello"_qs,
                                                   u"Hello Ann Smith,\r\n\r\nText"_qs}));
    QCOMPARE(f.platform.fakeDialogs.texts().last(),
             u"Message has been placed in OUTLOOK outbox."_qs);
    QVERIFY(w.isEnabled() && !w.isCancelShown());
  }

  void browserFromMenusAndLabels() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("Ann", {}, {}, "https://ann.example/?a=1&b=2"),
                     test::recordLine("Bob"), test::recordLine("Eve", {}, {}, "-rf")});
    auto& w = f.start();
    QVERIFY(activated(w));
    const auto key = [&w](Qt::Key k, Qt::KeyboardModifiers m = Qt::ControlModifier) {
      QTest::keyClick(w.List1, k, m);
    };
    auto& started = f.platform.fakeLauncher.started;
    const auto last = [&started]() -> QString {
      if (started.empty()) return {};
      return started.back().program + u" "_qs + started.back().arguments.join(u"|"_qs);
    };

    // Which program and arguments a setting or the desktop gives: test_mail_text, and stubBrowser.
    QTest::mouseClick(w.Label8, Qt::LeftButton);
    QCOMPARE(last(), u"xdg-open https://ann.example/?a=1&b=2"_qs);
    started.clear();
    key(Qt::Key_U);  // mnuURL
    QCOMPARE(last(), u"xdg-open https://ann.example/?a=1&b=2"_qs);
    key(Qt::Key_H);  // mnuBrowBlank
    QCOMPARE(last(), u"xdg-open about:blank"_qs);
    f.platform.fakeLauncher.onPath[u"x-www-browser"_qs] = u"/usr/bin/x-www-browser"_qs;
    w.menuItem("mnuBrowBlank")->trigger();
    QCOMPARE(last(), u"x-www-browser "_qs);

    // The manual: the working directory at the moment of the click.
    key(Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier);  // mnuManual
    QCOMPARE(last(), u"xdg-open file://"_qs + f.env.workDir() + u"/TAVELIN.HTM"_qs);
    QDir(f.env.workDir()).mkdir(u"elsewhere"_qs);
    QDir::setCurrent(f.env.workPath(u"elsewhere"_qs));
    w.menuItem("mnuManual")->trigger();
    QCOMPARE(last(), u"xdg-open file://"_qs + f.env.workDir() + u"/elsewhere/TAVELIN.HTM"_qs);
    QDir::setCurrent(f.env.workDir());

    // Nothing without an address, nothing while editing, and never an option.
    const size_t count = started.size();
    w.List1->setListIndex(1);
    QTest::mouseClick(w.Label8, Qt::LeftButton);
    w.List1->setListIndex(0);
    w.EditRecord();
    QTest::mouseClick(w.Label8, Qt::LeftButton);
    w.showSelectedRecord();
    w.List1->setListIndex(2);
    QTest::mouseClick(w.Label8, Qt::LeftButton);
    w.menuItem("mnuURL")->trigger();
    QCOMPARE(started.size(), count);
    QCOMPARE(f.platform.fakeDialogs.shown.size(), size_t(2));
    QVERIFY(f.platform.fakeDialogs.texts().last().contains(u"-rf"_qs));

    // A browser that does not start is reported.
    f.platform.fakeLauncher.failing = QStringList{u"xdg-open"_qs};
    w.List1->setListIndex(0);
    w.menuItem("mnuURL")->trigger();
    QCOMPARE(f.platform.fakeDialogs.texts().last(),
             u"The browser \"xdg-open\" could not be started."_qs);
  }

  // The address reaches a real program as one argument, without a shell.
  void stubBrowser() {
    test::TestEnvironment env;
    const QString stub = env.workPath(u"browser"_qs);
    test::writeFile(stub,
                    "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\" >> \"$0.part\"; done\n"
                    "mv \"$0.part\" \"$0.args\"\n");
    QFile::setPermissions(stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::QtLauncher launcher;
    platform::FakeSettingsStore settings;
    platform::FakeDialogs dialogs;
    settings.values[u"Platform/Browser"_qs] = stub + u" --new-tab"_qs;
    mail::OpenBrowser(u"http://x.example/a b;$(touch pwned)&c"_qs, launcher, settings, dialogs);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(stub + u".args"_qs), 10000);
    QCOMPARE(test::readFile(stub + u".args"_qs),
             QByteArray("[--new-tab]\n[http://x.example/a b;$(touch pwned)&c]\n"));
    QVERIFY(!QFile::exists(env.workPath(u"pwned"_qs)) && dialogs.shown.empty());
  }
};

QTEST_MAIN(MailLinksTest)
#include "test_mail_links.moc"
