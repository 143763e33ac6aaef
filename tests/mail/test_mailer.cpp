#include <QAction>
#include <QApplication>
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

class MailerTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void loadAndLayout();
  void titleStatusAndMenus();
  void limits();
  void quitPaths();
  void sendFailures();
  void openText();
  void saveText();
  void fontChoice();
  void printSelection();
  void textOperations();
  void keys();
};

void MailerTest::loadAndLayout() {
  test::MailerFixture f;
  auto& w = f.w();
  // The editor covers the main window, which stays disabled until the editor closes.
  QCOMPARE(w.pos(), f.main.pos());
  QCOMPARE(w.size(), f.main.size());
  QVERIFY(!f.main.isEnabled() && w.isEnabled());
  QCOMPARE(w.windowTitle(), u"Malvek Quilla"_qs);
  QVERIFY(w.Frame1->title().isEmpty());  // until the first tick
  QCOMPARE(w.EditBox->font().family(), u"Courier New"_qs);
  QCOMPARE(w.EditBox->font().pointSizeF(), 9.0);
  QStringList captions;
  for (auto* b : {w.Command4, w.Command3, w.Command6, w.Command8, w.Command7, w.Command5,
                  w.Command9, w.Command2, w.Command1}) {
    captions << b->text();
  }
  QCOMPARE(captions, QStringList({"Open", "Save as", "Greeting", "Font", "Now", "SignOff", "Join",
                                  "Clean", "Quit"}));
  QCOMPARE(w.menuItem("mnuClean")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
  QCOMPARE(w.menuItem("mnuSaveAs")->text(), u"&Save as.."_qs);
  // Tab order: To, Subject, the message, then the buttons left to right.
  QList<QWidget*> tabOrder;
  for (QWidget* next = w.Dest; tabOrder.size() < 12; next = next->nextInFocusChain()) {
    if (next->focusPolicy() & Qt::TabFocus) tabOrder << next;
  }
  QCOMPARE(tabOrder,
           (QList<QWidget*>{w.Dest, w.Re, w.EditBox, w.Command4, w.Command3, w.Command6, w.Command8,
                            w.Command7, w.Command5, w.Command9, w.Command2, w.Command1}));

  // The stored font, italic and bold by their "T".
  mail::writeFontFile(mail::fontFilePath(f.env.configRoot()),
                      {u"DejaVu Sans Mono"_qs, 12, true, false});
  f.open();
  QCOMPARE(f.w().EditBox->font().pointSizeF(), 12.0);
  QVERIFY(f.w().EditBox->font().bold() && !f.w().EditBox->font().italic());

  // Closed from the title bar: nothing asked, nothing sent, the main window back.
  f.w().EditBox->setText(u"unsent"_qs);
  f.w().close();
  QVERIFY(f.main.isEnabled() && !f.w().isVisible());
  QVERIFY(f.dialogs().shown.empty() && f.platform.fakeMailTransport.sent.empty());
}

void MailerTest::titleStatusAndMenus() {
  test::MailerFixture f;
  auto& w = f.w();
  f.options.Check1->setChecked(true);
  f.options.Check5->setChecked(true);
  f.platform.fakeClock.time = QDateTime(QDate(2026, 1, 2), QTime(9, 5, 30));
  w.Timer1_Timer();
  QCOMPARE(w.windowTitle(),
           u"Malvek Quilla (09:05)  ("_qs +
               QLocale::system().toString(QDate(2026, 1, 2), QLocale::ShortFormat) + u")"_qs);
  f.options.Check5->setChecked(false);
  f.platform.fakeClock.time = QDateTime(QDate(2026, 1, 2), QTime(14, 0));
  w.Timer1_Timer();
  QCOMPARE(w.windowTitle(), u"Malvek Quilla (14:00)"_qs);

  QCOMPARE(w.Frame1->title(), u"Message Size: 0 Kb"_qs);
  QVERIFY(!w.menuItem("mnuSaveAs")->isEnabled() && !w.menuItem("mnuPrint")->isEnabled());
  // Line breaks count two characters, as in the files.
  w.EditBox->setText(QString(2046, QLatin1Char('x')) + u"\r\n"_qs);
  w.Timer1_Timer();
  QCOMPARE(w.Frame1->title(), u"Message Size: 2 Kb"_qs);
  w.EditBox->setText(QString(32767, QLatin1Char('x')));
  w.Timer1_Timer();
  QCOMPARE(w.Frame1->title(), u"Message Size: 31 Kb"_qs);
  QVERIFY(w.menuItem("mnuSaveAs")->isEnabled());
  for (const char* item : {"mnuPrint", "mnuJoin", "mnuClean"}) {
    QVERIFY(!w.menuItem(item)->isEnabled());
  }
  w.EditBox->setText(QString(32768, QLatin1Char('x')));
  f.select(3, 9);
  w.Timer1_Timer();
  QCOMPARE(w.Frame1->title(), u"WARNING: Maximum Size for Message Text Reached (32Kb)."_qs);
  for (const char* item : {"mnuPrint", "mnuJoin", "mnuClean"}) {
    QVERIFY(w.menuItem(item)->isEnabled());
  }
  QVERIFY(w.Command9->isEnabled() && w.Command2->isEnabled());
}

void MailerTest::limits() {
  test::MailerFixture f;
  auto& w = f.w();
  w.Dest->setText(QString(50, QLatin1Char('d')));
  w.Re->setText(QString(120, QLatin1Char('r')));
  QCOMPARE(w.Dest->text().size(), 40);
  QCOMPARE(w.Re->text().size(), 100);

  // Text put in beyond the maximum is cut to its first 32768 characters.
  QString big;
  for (int i = 0; i < 4000; ++i) big += QStringLiteral("%1\r\n").arg(i, 8, 10, QLatin1Char('0'));
  w.EditBox->setText(big);
  QCOMPARE(w.EditBox->length(), 32768);
  QCOMPARE(w.EditBox->text(), big.left(32768));
  // Typing into a full text adds nothing; an insertion keeps what stood after it.
  w.EditBox->setText(u"ab"_qs + QString(32764, QLatin1Char('x')) + u"yz"_qs);
  w.EditBox->setCaret(1);
  QTest::keyClicks(w.EditBox, u"123"_qs);
  QCOMPARE(w.EditBox->length(), 32768);
  QVERIFY(w.EditBox->text().startsWith(u"ab"_qs) && w.EditBox->text().endsWith(u"yz"_qs));
  w.EditBox->setText(u"short"_qs);
  w.EditBox->setCaret(5);
  QTest::keyClicks(w.EditBox, u"er"_qs);
  QCOMPARE(w.EditBox->text(), u"shorter"_qs);
}

void MailerTest::quitPaths() {
  test::MailerFixture f;
  auto& shown = f.dialogs().shown;
  auto& sent = f.platform.fakeMailTransport.sent;

  // No text: closed at once, To and Subject dropped.
  f.w().Dest->setText(u"a@b.c"_qs);
  f.w().Re->setText(u"s"_qs);
  f.w().QuitMailer();
  QVERIFY(!f.w().isVisible() && f.main.isEnabled() && shown.empty() && sent.empty());

  // Cancel keeps the editor; No discards.
  f.open().EditBox->setText(u"Hi"_qs);
  f.dialogs().answers = {Button::Cancel};
  f.w().Command1->click();
  QVERIFY(f.w().isVisible() && !f.main.isEnabled());
  QCOMPARE(shown.back().text, u"There is an outbound E-Mail, Send it?"_qs);
  QVERIFY(shown.back().buttons == platform::Buttons::YesNoCancel &&
          shown.back().icon == Icon::Information && shown.back().defaultButton == Button::Yes);
  f.dialogs().answers = {Button::No};
  f.w().menuItem("mnuQuit")->trigger();
  QVERIFY(!f.w().isVisible() && f.main.isEnabled() && sent.empty());

  // Yes hands recipient, subject and body over; then the outbox message and closing.
  f.dialogs().clear();
  f.open();
  f.w().Dest->setText(u"zoe@example.org"_qs);
  f.w().Re->setText(u"Plans"_qs);
  f.w().EditBox->setText(u"line 1\r\nline 2"_qs);
  f.w().QuitMailer();  // answered by the default button, Yes
  QCOMPARE(sent.size(), size_t(1));
  QCOMPARE(sent.back(),
           (platform::OutgoingMail{u"zoe@example.org"_qs, u"Plans"_qs, u"line 1\r\nline 2"_qs}));
  QCOMPARE(f.dialogs().texts().last(), u"Message has been placed in OUTLOOK outbox."_qs);
  QVERIFY(!f.w().isVisible() && f.main.isEnabled());

  // A name is resolved through the records.
  f.addRecord(u"Bob Jones"_qs, u"bob@example.org"_qs);
  f.open().Dest->setText(u" bob jones"_qs);
  f.w().EditBox->setText(u"x"_qs);
  f.w().QuitMailer();
  QCOMPARE(sent.back().to, u"\"Bob Jones\" <bob@example.org>"_qs);
}

void MailerTest::sendFailures() {
  test::MailerFixture f;
  auto& w = f.w();
  const auto failedTexts = QStringList{
      u"There is an outbound E-Mail, Send it?"_qs, u"OUTLOOK could not recognise\r\nNobody"_qs,
      u"Outlook reported an error.\r\nPlease Check the 'To:' field."_qs};
  // A name no record answers never reaches the transport; a refusing transport fails alike.
  for (const bool accepting : {true, false}) {
    f.dialogs().clear();
    f.platform.fakeMailTransport.accepting = accepting;
    f.platform.fakeMailTransport.sent.clear();
    w.Dest->setText(accepting ? u"Nobody"_qs : u"Nobody"_qs);
    if (!accepting) f.addRecord(u"Nobody"_qs, u"no@example.org"_qs);
    w.Re->setText(u"Subject"_qs);
    w.EditBox->setText(u"Body"_qs);
    w.QuitMailer();
    QCOMPARE(f.dialogs().texts(), failedTexts);
    QCOMPARE(f.dialogs().shown[1].icon, Icon::Critical);
    QCOMPARE(f.platform.fakeMailTransport.sent.size(), accepting ? size_t(0) : size_t(1));
    QVERIFY(w.isVisible() && !f.main.isEnabled());
    QVERIFY(w.Dest->text() == u"Nobody"_qs && w.Re->text() == u"Subject"_qs &&
            w.EditBox->text() == u"Body"_qs);
    QCOMPARE(w.focusWidget(), w.Dest);
  }
}

void MailerTest::openText() {
  test::MailerFixture f;
  auto& w = f.w();
  const QString one = f.env.workPath(u"one.txt"_qs);
  test::writeFile(one, "abc");
  f.dialogs().fileAnswers = {one};
  w.Command4->click();
  QCOMPARE(w.EditBox->text(), u"abc \r\n"_qs);
  QCOMPARE(f.dialogs().openRequests.back().filters,
           QStringList({u"Text (*.txt)"_qs, u"All files (*)"_qs}));
  QCOMPARE(f.dialogs().openRequests.back().defaultSuffix, u"txt"_qs);
  QVERIFY(f.dialogs().shown.empty());

  // Cancel, or No to the overwrite question, leaves the text.
  w.menuItem("mnuOpenFile")->trigger();  // the queue is empty: Cancel
  QCOMPARE(w.EditBox->text(), u"abc \r\n"_qs);
  f.dialogs().fileAnswers = {one};
  f.dialogs().answers = {Button::No};
  w.OpenText();
  QCOMPARE(f.dialogs().texts(), QStringList{u"Message text will be overwritten. Continue?"_qs});
  QVERIFY(f.dialogs().shown.back().icon == Icon::Critical);
  QCOMPARE(w.EditBox->text(), u"abc \r\n"_qs);

  // 40000 characters: read up to the line that fills the text, with the message.
  const QString big = f.env.workPath(u"big.txt"_qs);
  QByteArray bytes;
  for (int i = 0; i < 400; ++i) bytes += QByteArray(98, 'q') + "\r\n";
  test::writeFile(big, bytes);
  f.dialogs().clear();
  f.dialogs().fileAnswers = {big};
  w.OpenText();  // overwrite answered Yes by default
  QCOMPARE(f.dialogs().texts().last(), u"File incomplete, maximum length (32Kb) reached."_qs);
  QCOMPARE(w.EditBox->length(), 32768);
  QVERIFY(w.EditBox->text().startsWith(QString(98, QLatin1Char('q')) + u" \r\n"_qs));

  // An empty file and a missing one both leave an empty text, without a message.
  const QString empty = f.env.workPath(u"empty.txt"_qs);
  test::writeFile(empty, "");
  for (const QString& path : {empty, f.env.workPath(u"missing.txt"_qs)}) {
    w.EditBox->setText(u"old"_qs);
    f.dialogs().clear();
    f.dialogs().fileAnswers = {path};
    w.OpenText();
    QCOMPARE(f.dialogs().shown.size(), size_t(1));  // the overwrite question only
    QVERIFY(w.EditBox->text().isEmpty());
  }
  QCOMPARE(QDir::currentPath(), f.env.workDir());
}

void MailerTest::saveText() {
  test::MailerFixture f;
  auto& w = f.w();
  w.Command3->click();
  QCOMPARE(f.dialogs().texts(), QStringList{u"No message text to save!"_qs});
  QVERIFY(f.dialogs().saveRequests.empty());

  const QString target = f.env.workPath(u"out.txt"_qs);
  w.EditBox->setText(u"Grüße\r\nline"_qs);
  w.SaveText();  // cancelled: nothing written
  QVERIFY(!QFile::exists(target));
  QCOMPARE(f.dialogs().saveRequests.back().filters, QStringList{u"Text (*.txt)"_qs});
  f.dialogs().fileAnswers = {target};
  w.SaveText();
  QCOMPARE(test::readFile(target), QByteArray("Gr\xc3\xbc\xc3\x9f"
                                              "e\r\nline\r\n"));

  // A failed write is reported, naming the file.
  QDir(f.env.workDir()).mkdir(u"folder.txt"_qs);
  f.dialogs().clear();
  f.dialogs().fileAnswers = {f.env.workPath(u"folder.txt"_qs)};
  w.SaveText();
  QCOMPARE(f.dialogs().shown.size(), size_t(1));
  QVERIFY(f.dialogs().texts().front().contains(u"folder.txt"_qs));
}

void MailerTest::fontChoice() {
  test::MailerFixture f;
  auto& w = f.w();
  const QString cf1 = mail::fontFilePath(f.env.configRoot());
  w.EditBox->setText(u"hello world"_qs);
  f.select(2, 6);
  w.Command8->click();  // cancelled
  QCOMPARE(f.dialogs().fontPresets.back(),
           (platform::FontChoice{u"Courier New"_qs, 9, false, false}));
  QVERIFY(!QFile::exists(cf1) && w.EditBox->font().family() == u"Courier New"_qs);
  QVERIFY(!w.EditBox->hasSelection() && w.EditBox->textCursor().position() == 2);

  f.select(4, 8);
  f.dialogs().fontAnswers = {platform::FontChoice{u"DejaVu Sans Mono"_qs, 10.5, true, true}};
  w.SelectFont();
  QCOMPARE(w.EditBox->font().family(), u"DejaVu Sans Mono"_qs);
  QVERIFY(w.EditBox->font().bold() && w.EditBox->font().italic());
  QCOMPARE(test::readFile(cf1), QByteArray("DejaVu Sans Mono\r\n 10.5 \r\nTrue\r\nTrue\r\n"));
  QVERIFY(!w.EditBox->hasSelection() && w.EditBox->textCursor().position() == 4);
}

void MailerTest::printSelection() {
  test::MailerFixture f;
  auto& w = f.w();
  auto& printer = f.platform.fakePrinter;
  const platform::PrinterFont before = printer.currentFont;
  w.EditBox->setText(u"first\r\nsecond line"_qs);
  f.select(3, 12);
  w.Timer1_Timer();
  w.menuItem("mnuPrint")->trigger();
  QCOMPARE(printer.jobs, QStringList{u"st\r\nsecond\r\n"_qs});
  QCOMPARE(printer.printed.back().font.name, u"Courier New"_qs);
  QCOMPARE(printer.printed.back().font.size, 9.0);
  QCOMPARE(printer.currentFont, before);  // the printer has its own font back

  printer.failWith = u"out of paper"_qs;
  w.PrintSelection();
  QVERIFY(f.dialogs().texts().last().contains(u"out of paper"_qs));
  QCOMPARE(printer.currentFont, before);
}

void MailerTest::textOperations() {
  test::MailerFixture f;
  auto& w = f.w();
  const QString sig = mail::signOffFilePath(f.env.configRoot());

  w.EditBox->setText(u"caf\u00e9 one  \r\ntwo"_qs);
  w.Command2->click();  // nothing selected: nothing changes
  QCOMPARE(w.EditBox->text(), u"caf\u00e9 one  \r\ntwo"_qs);
  f.select(0, 6);
  w.Command2->click();
  QCOMPARE(w.EditBox->text(), u"caf one  \r\ntwo"_qs);
  f.select(4, 13);
  w.Command9->click();
  QCOMPARE(w.EditBox->text(), u"caf one two"_qs);

  // Greeting with the stored sign-off, the caret at the start.
  test::writeFile(sig, "  |Regards|Bob \r\n");
  w.EditBox->setText(u"Hi"_qs);
  w.Command6->click();
  QCOMPARE(w.EditBox->text(), u"Hello Ann Smith,\r\n\r\nHi\r\nRegards\r\nBob"_qs);
  QCOMPARE(w.EditBox->textCursor().position(), 0);

  // The sign-off dialog: proposed from the file; Cancel keeps the file; an answer replaces it.
  w.Command5->click();
  QCOMPARE(f.dialogs().inputsShown.back().prompt,
           u"Enter your Sign-Off. Use Alt-124 for CR/LF:"_qs);
  QCOMPARE(f.dialogs().inputsShown.back().proposed, u"  |Regards|Bob "_qs);
  QCOMPARE(test::readFile(sig), QByteArray("  |Regards|Bob \r\n"));
  f.dialogs().inputAnswers = {u"|Ciao"_qs};
  w.ConfigureSignOff();
  QCOMPARE(test::readFile(sig), QByteArray("|Ciao\r\n"));
  QFile::remove(sig);
  w.EditBox->setText(u"x"_qs);
  w.ApplyGreeting();  // the sign-off read last still holds when the file has gone
  QCOMPARE(w.EditBox->text(), u"Hello Ann Smith,\r\n\r\nx\r\nCiao"_qs);

  // Now: at the caret, or over the selection.
  f.platform.fakeClock.time = QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9));
  const QString stamp = QLocale::system().toString(QDate(2026, 5, 6), QLocale::ShortFormat) +
                        u" at "_qs +
                        QLocale::system().toString(QTime(7, 8, 9), QLocale::ShortFormat) + u" "_qs;
  w.EditBox->setText(u"ab"_qs);
  w.EditBox->setCaret(1);
  w.Command7->click();
  QCOMPARE(w.EditBox->text(), u"a"_qs + stamp + u"b"_qs);
  f.select(0, 1);
  w.menuItem("mnuNow")->trigger();
  QCOMPARE(w.EditBox->text(), stamp + stamp + u"b"_qs);
}

void MailerTest::keys() {
  test::MailerFixture f;
  auto& w = f.w();
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));

  // Ctrl+C cleans the selection instead of copying; Ctrl+A saves.
  w.EditBox->setText(u"x\u00e9y"_qs);
  f.select(0, 3);
  w.Timer1_Timer();
  w.EditBox->setFocus();
  QTest::keyClick(w.EditBox, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(w.EditBox->text(), u"xy"_qs);
  QTest::keyClick(w.EditBox, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(f.dialogs().saveRequests.size(), size_t(1));

  // Escape in To does nothing; in the subject it quits (the text is empty: closed at once).
  w.EditBox->setText(QString());
  QTest::keyClick(w.Dest, Qt::Key_Escape);
  QVERIFY(w.isVisible());
  QTest::keyClick(w.Re, Qt::Key_Escape);
  QVERIFY(!w.isVisible());

  // Escape in the message quits too; a click on the picture as well.
  f.open().EditBox->setText(u"keep"_qs);
  f.dialogs().answers = {Button::Cancel, Button::Cancel};
  QTest::keyClick(f.w().EditBox, Qt::Key_Escape);
  QTest::mouseClick(f.w().Picture1, Qt::LeftButton);
  QCOMPARE(f.dialogs().texts(), QStringList(2, u"There is an outbound E-Mail, Send it?"_qs));
  QCOMPARE(f.w().EditBox->text(), u"keep"_qs);
}

QTEST_MAIN(MailerTest)
#include "test_mailer.moc"
