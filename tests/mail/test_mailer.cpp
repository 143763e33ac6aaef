#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "mail/mail_files.h"
#include "mailer_fixture.h"

using namespace tavelin;
using platform::Button;
using platform::Icon;

namespace {
const QString kAsk = "There is an outbound E-Mail, Send it?";
}

class MailerTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void loadAndLayout() {
    test::MailerFixture f;
    auto& w = f.w();
    // The editor covers the main window, which stays disabled until the editor closes.
    QCOMPARE(w.pos(), f.main.pos());
    QCOMPARE(w.size(), f.main.size());
    QVERIFY(!f.main.isEnabled() && w.isEnabled());
    QCOMPARE(w.windowTitle(), "Malvek Quilla");
    QVERIFY(w.Frame1->title().isEmpty());  // until the first tick
    QCOMPARE(w.EditBox->font().family(), "Courier New");
    QCOMPARE(w.EditBox->font().pointSizeF(), 9.0);
    QCOMPARE(w.menuItem("mnuSaveAs")->text(), "&Save as..");
    // Tab order: To, Subject, the message, then the buttons left to right.
    QList<QWidget*> tabOrder;
    for (QWidget* next = w.Dest; tabOrder.size() < 12; next = next->nextInFocusChain()) {
      if (next->focusPolicy() & Qt::TabFocus) tabOrder << next;
    }
    QCOMPARE(tabOrder, (QList<QWidget*>{w.Dest, w.Re, w.EditBox, w.Command4, w.Command3, w.Command6,
                                        w.Command8, w.Command7, w.Command5, w.Command9, w.Command2,
                                        w.Command1}));
    QStringList captions;
    for (QWidget* b : tabOrder.mid(3)) captions << static_cast<QPushButton*>(b)->text();
    QCOMPARE(captions, QStringList({"Open", "Save as", "Greeting", "Font", "Now", "SignOff", "Join",
                                    "Clean", "Quit"}));

    // Closed from the title bar: nothing asked, nothing sent, the main window back.
    w.EditBox->setText("unsent");
    w.close();
    QVERIFY(f.main.isEnabled() && !w.isVisible());
    QVERIFY(f.dialogs().shown.empty() && f.platform.fakeMailTransport.sent.empty());
  }

  void statusMenusAndLimits() {
    test::MailerFixture f;
    auto& w = f.w();
    const auto menusEnabled = [&w] {
      return QList<bool>{w.menuItem("mnuSaveAs")->isEnabled(), w.menuItem("mnuPrint")->isEnabled(),
                         w.menuItem("mnuJoin")->isEnabled(), w.menuItem("mnuClean")->isEnabled()};
    };
    f.options.Check1->setChecked(true);
    f.options.Check5->setChecked(true);
    f.platform.fakeClock.time = QDateTime(QDate(2026, 1, 2), QTime(9, 5, 30));
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(),
             "Malvek Quilla (09:05)  (" +
                 QLocale::system().toString(QDate(2026, 1, 2), QLocale::ShortFormat) + ")");
    QCOMPARE(w.Frame1->title(), "Message Size: 0 Kb");
    QCOMPARE(menusEnabled(), QList<bool>({false, false, false, false}));
    f.options.Check5->setChecked(false);
    f.platform.fakeClock.time = QDateTime(QDate(2026, 1, 2), QTime(14, 0));
    // Line breaks count two characters, as in the files.
    w.EditBox->setText(QString(2046, 'x') + "\r\n");
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), "Malvek Quilla (14:00)");
    QCOMPARE(w.Frame1->title(), "Message Size: 2 Kb");
    QCOMPARE(menusEnabled(), QList<bool>({true, false, false, false}));
    QVERIFY(w.Command9->isEnabled() && w.Command2->isEnabled());  // the buttons never grey
    w.EditBox->setText(QString(32768, 'x'));
    f.select(3, 9);
    w.Timer1_Timer();
    QCOMPARE(w.Frame1->title(), "WARNING: Maximum Size for Message Text Reached (32Kb).");
    QCOMPARE(menusEnabled(), QList<bool>({true, true, true, true}));

    QVERIFY(w.Dest->maxLength() == 40 && w.Re->maxLength() == 100);

    // Text put in beyond the maximum is cut to its first 32768 characters.
    QString big;
    for (int i = 0; i < 4000; ++i) big += QStringLiteral("%1\r\n").arg(i, 8, 10, QLatin1Char('0'));
    w.EditBox->setText(big);
    QCOMPARE(w.EditBox->text(), big.left(32768));
    // Typing into a full text adds nothing; an insertion keeps what stood after it.
    w.EditBox->setText("ab" + QString(32764, 'x') + "yz");
    w.EditBox->setCaret(1);
    QTest::keyClicks(w.EditBox, "123");
    QCOMPARE(w.EditBox->length(), 32768);
    QVERIFY(w.EditBox->text().startsWith("ab") && w.EditBox->text().endsWith("yz"));
    w.EditBox->setText("short");
    w.EditBox->setCaret(5);
    QTest::keyClicks(w.EditBox, "er");
    QCOMPARE(w.EditBox->text(), "shorter");
  }

  void quitAndSend() {
    test::MailerFixture f;
    auto& shown = f.dialogs().shown;
    auto& transport = f.platform.fakeMailTransport;
    const auto fill = [&f](const QString& to, const QString& subject, const QString& body) {
      f.w().Dest->setText(to);
      f.w().Re->setText(subject);
      f.w().EditBox->setText(body);
    };

    // No text: closed at once, To and Subject dropped.
    fill("a@b.c", "s", "");
    f.w().QuitMailer();
    QVERIFY(!f.w().isVisible() && f.main.isEnabled() && shown.empty() && transport.sent.empty());

    // Cancel keeps the editor; No discards.
    f.open().EditBox->setText("Hi");
    f.dialogs().answers = {Button::Cancel};
    f.w().Command1->click();
    QVERIFY(f.w().isVisible() && !f.main.isEnabled());
    QCOMPARE(shown.back().text, kAsk);
    QVERIFY(shown.back().buttons == platform::Buttons::YesNoCancel &&
            shown.back().icon == Icon::Information && shown.back().defaultButton == Button::Yes);
    f.dialogs().answers = {Button::No};
    f.w().menuItem("mnuQuit")->trigger();
    QVERIFY(!f.w().isVisible() && f.main.isEnabled() && transport.sent.empty());

    // Yes (the default) hands recipient, subject and body over; then the outbox message and
    // closing.
    f.dialogs().clear();
    f.open();
    fill("zoe@example.org", "Plans", "line 1\r\nline 2");
    f.w().QuitMailer();
    QCOMPARE(transport.sent, std::vector<platform::OutgoingMail>(
                                 {{"zoe@example.org", "Plans", "line 1\r\nline 2"}}));
    QCOMPARE(f.dialogs().texts().last(), "Message has been placed in OUTLOOK outbox.");
    QVERIFY(!f.w().isVisible() && f.main.isEnabled());

    // A name no record answers never reaches the transport; once a record answers it, a refusing
    // transport fails alike: the editor stays as it was, the cursor in To.
    for (const bool accepting : {true, false}) {
      f.dialogs().clear();
      transport.accepting = accepting;
      transport.sent.clear();
      if (!accepting) f.addRecord("Nobody", "no@example.org");
      f.open();
      fill("Nobody", "Subject", "Body");
      f.w().QuitMailer();
      QCOMPARE(f.dialogs().texts(),
               QStringList({kAsk, "OUTLOOK could not recognise\r\nNobody",
                            "Outlook reported an error.\r\nPlease Check the 'To:' field."}));
      QCOMPARE(shown[1].icon, Icon::Critical);
      QCOMPARE(transport.sent.size(), accepting ? size_t(0) : size_t(1));
      if (!accepting) QCOMPARE(transport.sent.back().to, "\"Nobody\" <no@example.org>");
      QVERIFY(f.w().isVisible() && !f.main.isEnabled());
      QCOMPARE(QStringList({f.w().Dest->text(), f.w().Re->text(), f.w().EditBox->text()}),
               QStringList({"Nobody", "Subject", "Body"}));
      QCOMPARE(f.w().focusWidget(), f.w().Dest);
    }
  }

  void openAndSaveText() {
    test::MailerFixture f;
    auto& w = f.w();
    auto& d = f.dialogs();
    const auto open = [&](const QString& name, const QByteArray& bytes) {
      const QString path = f.env.workPath(name);
      if (!bytes.isNull()) test::writeFile(path, bytes);
      d.clear();
      d.fileAnswers = {path};
      w.OpenText();
    };
    open("one.txt", "abc");
    QCOMPARE(w.EditBox->text(), "abc \r\n");
    QCOMPARE(d.openRequests.back().filters, QStringList({"Text (*.txt)", "All files (*)"}));
    QCOMPARE(d.openRequests.back().defaultSuffix, "txt");
    QVERIFY(d.shown.empty());

    // Cancel, or No to the overwrite question, leaves the text.
    w.menuItem("mnuOpenFile")->trigger();  // the queue is empty: Cancel
    QVERIFY(d.shown.empty() && w.EditBox->text() == "abc \r\n");
    d.answers = {Button::No};
    open("one.txt", {});
    QCOMPARE(d.texts(), QStringList{"Message text will be overwritten. Continue?"});
    QCOMPARE(d.shown.back().icon, Icon::Critical);
    QCOMPARE(w.EditBox->text(), "abc \r\n");

    // 40000 characters: read up to the line that fills the text, with the message.
    open("big.txt", QByteArray(QByteArray(98, 'q') + "\r\n").repeated(400));  // Yes by default
    QCOMPARE(d.texts().last(), "File incomplete, maximum length (32Kb) reached.");
    QCOMPARE(w.EditBox->length(), 32768);

    // An empty file and a missing one both leave an empty text, without a message.
    test::writeFile(f.env.workPath("empty.txt"), "");
    for (const char* name : {"empty.txt", "missing.txt"}) {
      w.EditBox->setText("old");
      open(name, {});
      QCOMPARE(d.shown.size(), size_t(1));  // the overwrite question only
      QVERIFY(w.EditBox->text().isEmpty());
    }
    QCOMPARE(QDir::currentPath(), f.env.workDir());

    d.clear();
    w.Command3->click();
    QCOMPARE(d.texts(), QStringList{"No message text to save!"});
    QVERIFY(d.saveRequests.empty());
    const QString target = f.env.workPath("out.txt");
    w.EditBox->setText("Grüße\r\nline");
    w.SaveText();  // cancelled: nothing written
    QVERIFY(!QFile::exists(target));
    QCOMPARE(d.saveRequests.back().filters, QStringList{"Text (*.txt)"});
    d.fileAnswers = {target};
    w.SaveText();
    QCOMPARE(test::readFile(target),
             "Gr\xc3\xbc\xc3\x9f"
             "e\r\nline\r\n");

    // A failed write is reported, naming the file.
    QDir(f.env.workDir()).mkdir("folder.txt");
    d.clear();
    d.fileAnswers = {f.env.workPath("folder.txt")};
    w.SaveText();
    QCOMPARE(d.shown.size(), size_t(1));
    QVERIFY(d.texts().front().contains("folder.txt"));
  }

  void fontAndPrint() {
    test::MailerFixture f;
    const QString cf1 = mail::fontFilePath(f.env.configRoot());
    const auto& box = f.w().EditBox;
    box->setText("first\r\nsecond line");
    f.select(2, 6);
    f.w().Command8->click();  // cancelled
    QCOMPARE(f.dialogs().fontPresets.back(),
             (platform::FontChoice{"Courier New", 9, false, false}));
    QVERIFY(!QFile::exists(cf1) && box->font().family() == "Courier New");
    QVERIFY(!box->hasSelection() && box->textCursor().position() == 2);
    f.select(4, 8);
    f.dialogs().fontAnswers = {platform::FontChoice{"DejaVu Sans Mono", 10.5, true, false}};
    f.w().SelectFont();
    QCOMPARE(box->font().family(), "DejaVu Sans Mono");
    QVERIFY(box->font().bold() && !box->font().italic());
    QCOMPARE(test::readFile(cf1), "DejaVu Sans Mono\r\n 10.5 \r\nFalse\r\nTrue\r\n");
    QVERIFY(!box->hasSelection() && box->textCursor().position() == 4);

    // The next editor starts in the stored font, and prints the selection in it; the printer has
    // its own font back after.
    auto& w = f.open();
    const QFont font = w.EditBox->font();
    QCOMPARE(font.family(), "DejaVu Sans Mono");
    QCOMPARE(font.pointSizeF(), 10.5);
    QVERIFY(font.bold() && !font.italic());
    auto& printer = f.platform.fakePrinter;
    const platform::PrinterFont before = printer.currentFont;
    w.EditBox->setText("first\r\nsecond line");
    f.select(3, 12);
    w.Timer1_Timer();
    w.menuItem("mnuPrint")->trigger();
    QCOMPARE(printer.jobs, QStringList{"st\r\nsecond\r\n"});
    QCOMPARE(printer.printed.back().font,
             (platform::PrinterFont{"DejaVu Sans Mono", 10.5, true, false}));
    QCOMPARE(printer.currentFont, before);
    printer.failWith = "out of paper";
    w.PrintSelection();
    QVERIFY(f.dialogs().texts().last().contains("out of paper"));
    QCOMPARE(printer.currentFont, before);
  }

  void textOperations() {
    test::MailerFixture f;
    auto& w = f.w();
    const QString sig = mail::signOffFilePath(f.env.configRoot());

    w.EditBox->setText("caf\u00e9 one  \r\ntwo");
    w.Command2->click();  // nothing selected: nothing changes
    QCOMPARE(w.EditBox->text(), "caf\u00e9 one  \r\ntwo");
    f.select(0, 6);
    w.Command2->click();
    QCOMPARE(w.EditBox->text(), "caf one  \r\ntwo");
    f.select(4, 13);
    w.Command9->click();
    QCOMPARE(w.EditBox->text(), "caf one two");

    // Greeting with the stored sign-off, the caret at the start.
    test::writeFile(sig, "  |Regards|Bob \r\n");
    w.EditBox->setText("Hi");
    w.Command6->click();
    QCOMPARE(w.EditBox->text(), "Hello Ann Smith,\r\n\r\nHi\r\nRegards\r\nBob");
    QCOMPARE(w.EditBox->textCursor().position(), 0);

    // The sign-off dialog: proposed from the file; Cancel keeps the file; an answer replaces it.
    w.Command5->click();
    QCOMPARE(f.dialogs().inputsShown.back().prompt, "Enter your Sign-Off. Use Alt-124 for CR/LF:");
    QCOMPARE(f.dialogs().inputsShown.back().proposed, "  |Regards|Bob ");
    QCOMPARE(test::readFile(sig), "  |Regards|Bob \r\n");
    f.dialogs().inputAnswers = {"|Ciao"};
    w.ConfigureSignOff();
    QCOMPARE(test::readFile(sig), "|Ciao\r\n");
    QFile::remove(sig);
    w.EditBox->setText("x");
    w.ApplyGreeting();  // the sign-off read last still holds when the file has gone
    QCOMPARE(w.EditBox->text(), "Hello Ann Smith,\r\n\r\nx\r\nCiao");

    // Now: at the caret, or over the selection.
    f.platform.fakeClock.time = QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9));
    const QLocale l = QLocale::system();
    const QString stamp = l.toString(QDate(2026, 5, 6), QLocale::ShortFormat) + " at " +
                          l.toString(QTime(7, 8, 9), QLocale::ShortFormat) + " ";
    w.EditBox->setText("ab");
    w.EditBox->setCaret(1);
    w.Command7->click();
    QCOMPARE(w.EditBox->text(), "a" + stamp + "b");
    f.select(0, 1);
    w.menuItem("mnuNow")->trigger();
    QCOMPARE(w.EditBox->text(), stamp + stamp + "b");
  }

  void keys() {
    test::MailerFixture f;
    auto& w = f.w();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // Ctrl+C cleans the selection instead of copying; Ctrl+A saves.
    w.EditBox->setText("x\u00e9y");
    f.select(0, 3);
    w.Timer1_Timer();
    w.EditBox->setFocus();
    QTest::keyClick(w.EditBox, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.EditBox->text(), "xy");
    QTest::keyClick(w.EditBox, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(f.dialogs().saveRequests.size(), size_t(1));

    // Escape in To does nothing; in the subject it quits (the text is empty: closed at once).
    w.EditBox->setText(QString());
    QTest::keyClick(w.Dest, Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QTest::keyClick(w.Re, Qt::Key_Escape);
    QVERIFY(!w.isVisible());

    // Escape in the message quits too; a click on the picture as well.
    f.open().EditBox->setText("keep");
    f.dialogs().answers = {Button::Cancel, Button::Cancel};
    QTest::keyClick(f.w().EditBox, Qt::Key_Escape);
    QTest::mouseClick(f.w().Picture1, Qt::LeftButton);
    QCOMPARE(f.dialogs().texts(), QStringList(2, kAsk));
    QCOMPARE(f.w().EditBox->text(), "keep");
  }
};

QTEST_MAIN(MailerTest)
#include "test_mailer.moc"
