#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"

using namespace tavelin;
using platform::Button;

namespace {

// Each button as its caption, in brackets when disabled, with "*" when it is a tab stop.
QString buttons(const main_window::Mainform& w) {
  QStringList out;
  for (const QPushButton* b : {w.Command1, w.Command2, w.Command3, w.Command4, w.Command5,
                               w.Command6, w.Command7, w.Command8, w.Command9}) {
    out << (b->isEnabled() ? b->text() : '[' + b->text() + ']') +
               (b->focusPolicy() == Qt::StrongFocus ? "*" : "");
  }
  return out.join(' ');
}

const QString kBrowse = "Next Edit Delete Add Quit Backup Restore Search Info";
const QString kAdd = "[Next] [Edit] Cancel* Save* [Quit] [Backup] [Restore] [Search] [Info]";
const QString kEdit = "[Next] Save* Cancel* [Add]* [Quit] [Backup] [Restore] [Search] [Info]";

QByteArray fileOf(const QStringList& lines) {
  return (lines.join("\r\n") + "\r\n").toUtf8();
}
QString line(const QString& name, const QString& phone = {}) {
  return test::recordLine(name, phone);
}

// Ann, Bob, Cleo with Bob selected; the refresher is driven by hand.
main_window::Mainform& threeRecords(test::MainformFixture& f) {
  f.writeDataFile({line("Cleo"), line("Bob", "555 2"), line("Ann")});
  auto& w = f.start();
  w.Timer1->stop();
  w.List1->setListIndex(1);
  return w;
}

void type(QLineEdit* box, const QString& text) {
  box->selectAll();
  QTest::keyClicks(box, text);
}

}  // namespace

class EditingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void addTransitions();
  void editAndCancelTransitions();
  void deleteTransitions();
  void failedWritesKeepEverything();
  void fieldKeys();
};

// Browse -> Add by button, menu or right button; Add -> Browse by saving or refusing.
void EditingTest::addTransitions() {
  test::MainformFixture f;
  auto& w = threeRecords(f);
  QCOMPARE(buttons(w), kBrowse);
  QTest::mouseClick(w.Command4, Qt::LeftButton);
  QCOMPARE(buttons(w), kAdd);
  QVERIFY(w.Adding && !w.Editing && w.List1->focusPolicy() == Qt::ClickFocus);
  QCOMPARE(QApplication::focusWidget(), w.Text[0]);
  QCOMPARE(f.fieldTexts(), QStringList(14));
  QCOMPARE(w.SavedFields[4], QStringLiteral("555 2").leftJustified(80));
  QTest::mouseClick(w.Text[8], Qt::LeftButton);  // a field's focus keeps the add layout
  QCOMPARE(buttons(w), kAdd);

  // Every row rewritten, quotes replaced, the new line last; the selection stays on row 1.
  type(w.Text[0], "Zed \"Z\"");
  QTest::mouseClick(w.Command4, Qt::LeftButton);
  QCOMPARE(f.dataFile(),
           fileOf({line("Ann"), line("Bob", "555 2"), line("Cleo"), line("Zed 'Z'")}));
  QCOMPARE(f.listIndex(), 1);
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Bob"));
  QCOMPARE(buttons(w), kBrowse);
  QVERIFY(!w.Adding && w.List1->focusPolicy() == Qt::StrongFocus);

  // The right button starts and saves too; a name of blanks only is accepted.
  QTest::mouseClick(w.List1->viewport(), Qt::RightButton);
  type(w.Text[0], "  ");
  QTest::mouseClick(w.List1->viewport(), Qt::RightButton);
  QVERIFY(f.dataFile().endsWith(fileOf({line("  ")})));

  // An empty name is refused: nothing written, the record shown before Add is back.
  const QByteArray before = f.dataFile();
  w.List1->setListIndex(2);
  w.menuItem("mnuAdd")->trigger();
  type(w.Text[4], "555 0");
  QTest::mouseClick(w.Command4, Qt::LeftButton);
  QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{"You must at least enter the NAME field."});
  QCOMPARE(f.platform.fakeDialogs.shown[0].icon, platform::Icon::Critical);
  QCOMPARE(f.dataFile(), before);
  QCOMPARE(f.fieldTexts()[0], f.listNames()[2]);
  QCOMPARE(buttons(w), kBrowse);
}

// Browse -> Edit by "Edit" or F4; Edit -> Browse by saving, refusing, Cancel or Esc;
// Edit -> Add by the right button.
void EditingTest::editAndCancelTransitions() {
  test::MainformFixture f;
  auto& w = threeRecords(f);
  w.List1->setListIndex(0);
  QTest::mouseClick(w.Command2, Qt::LeftButton);
  QCOMPARE(buttons(w), kEdit);
  QVERIFY(w.Editing && !w.Adding && QApplication::focusWidget() == w.Text[0]);

  // Renamed so that it sorts last: the selection stays on row 0, which is now Bob.
  type(w.Text[0], "Zara");
  QTest::mouseClick(w.Command2, Qt::LeftButton);
  QCOMPARE(f.dataFile(), fileOf({line("Bob", "555 2"), line("Cleo"), line("Zara")}));
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Bob"));
  QCOMPARE(buttons(w), kBrowse);

  // A name of blanks only is refused here; the file is read again and the typing is gone.
  const QByteArray before = f.dataFile();
  const QStringList shown = f.fieldTexts();
  w.menuItem("mnuEdit")->trigger();
  type(w.Text[0], "   ");
  type(w.Text[1], "typed");
  w.menuItem("mnuEdit")->trigger();
  QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{"The NAME field cannot be blank."});
  QCOMPARE(f.fieldTexts(), shown);
  QVERIFY(!w.Editing);

  // The right button while editing starts a record, the typed changes going to SavedFields.
  QTest::mouseClick(w.Text[2], Qt::LeftButton);
  type(w.Text[2], "changed");
  QTest::mouseClick(w.List1->viewport(), Qt::RightButton);
  QCOMPARE(buttons(w), "[Next] [Save]* Cancel* Save* [Quit] [Backup] [Restore] [Search] [Info]");
  QVERIFY(w.Adding && w.Editing);
  QCOMPARE(w.SavedFields[2], QStringLiteral("changed").leftJustified(80));

  // Cancel, the Delete menu item and Esc drop the typing and never write.
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  QVERIFY(!w.Adding && !w.Editing && f.fieldTexts() == shown);
  QTest::mouseClick(w.Text[3], Qt::LeftButton);
  type(w.Text[3], "typed");
  w.menuItem("mnuDelete")->trigger();
  QCOMPARE(f.fieldTexts(), shown);
  w.menuItem("mnuAdd")->trigger();
  type(w.Text[0], "New");
  QTest::keyClick(w.Text[0], Qt::Key_Escape);
  QCOMPARE(f.fieldTexts(), shown);
  QCOMPARE(QApplication::focusWidget(), w.List1);
  QCOMPARE(buttons(w), kBrowse);
  QCOMPARE(f.dataFile(), before);
}

void EditingTest::deleteTransitions() {
  test::MainformFixture f;
  auto& w = threeRecords(f);
  test::writeFile(f.env.workPath("Bob.ATA"), "note\r\n");
  test::writeFile(f.env.workPath("Cleo.ATA"), "note\r\n");
  auto& dialogs = f.platform.fakeDialogs;
  dialogs.answers = {Button::No};
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  QCOMPARE(dialogs.texts(), QStringList{"Do you really want to delete this record ?"});
  QVERIFY(dialogs.shown[0].buttons == platform::Buttons::YesNo &&
          dialogs.shown[0].icon == platform::Icon::Question);
  QCOMPARE(f.listNames().size(), 3);

  // Any row but the first: the one above is selected; the attachment goes with the record.
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  QCOMPARE(f.dataFile(), fileOf({line("Ann"), line("Cleo")}));
  QCOMPARE(w.Text[0]->text(), QStringLiteral("Ann"));
  QVERIFY(!QFile::exists(f.env.workPath("Bob.ATA")) && QFile::exists(f.env.workPath("Cleo.ATA")));

  // The first row: the new first row. The last one: an empty file, one blank row selected.
  w.menuItem("mnuDelete")->trigger();
  QCOMPARE(f.listNames(), QStringList{"Cleo"});
  QTest::keyClick(&w, Qt::Key_Delete);
  QCOMPARE(f.dataFile(), QByteArray());
  QCOMPARE(f.listNames(), QStringList{QString()});
  QCOMPARE(w.Frame2->title(), QStringLiteral("Record 1/1"));
  QVERIFY(!QFile::exists(f.env.workPath("Cleo.ATA")));
}

// A write that fails changes nothing and names the file; the typing stays for another try.
void EditingTest::failedWritesKeepEverything() {
  test::MainformFixture f;
  auto& w = threeRecords(f);
  test::writeFile(f.env.workPath("Bob.ATA"), "note\r\n");
  const QByteArray before = f.dataFile();
  QDir(f.env.workDir()).mkdir("blocked");  // a folder cannot be replaced by a file
  w.store().DataFile = QStringLiteral("blocked");
  auto& shown = f.platform.fakeDialogs.shown;
  const QString named = QDir::toNativeSeparators(f.env.workPath("blocked"));

  QTest::mouseClick(w.Text[1], Qt::LeftButton);
  type(w.Text[1], "Main Street");
  QTest::mouseClick(w.Command2, Qt::LeftButton);
  QVERIFY(shown.size() == 1 && shown.back().text.contains(named));
  QVERIFY(w.Text[1]->text() == "Main Street" && buttons(w) == kEdit);
  QTest::mouseClick(w.Command3, Qt::LeftButton);

  QTest::mouseClick(w.Command4, Qt::LeftButton);
  type(w.Text[0], "Dirk");
  QTest::mouseClick(w.Command4, Qt::LeftButton);
  QVERIFY(shown.size() == 2 && shown.back().text.contains(named));
  QVERIFY(w.Text[0]->text() == "Dirk" && buttons(w) == kAdd);
  QTest::mouseClick(w.Command3, Qt::LeftButton);

  QTest::mouseClick(w.Command3, Qt::LeftButton);  // delete Bob, answered Yes
  QVERIFY(shown.size() == 4 && shown.back().text.contains(named));
  QVERIFY(QFile::exists(f.env.workPath("Bob.ATA")));
  QCOMPARE(f.dataFile(), before);
  QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));

  w.store().DataFile = kDataFileName;  // writable again: the same save goes through
  QTest::mouseClick(w.Text[1], Qt::LeftButton);
  type(w.Text[1], "Main Street");
  QTest::keyClick(w.Text[1], Qt::Key_Return);
  QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
  QCOMPARE(w.store().table().value(1, 1), QStringLiteral("Main Street"));
}

// Focus into a field starts editing; Enter saves from any field with any modifier and the key
// still reaches the field; Esc abandons; the 81st character has no effect; F1 shows the help.
void EditingTest::fieldKeys() {
  test::MainformFixture f;
  f.writeDataFile({line("Ann")});
  auto& w = f.start();
  w.Timer1->stop();
  QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);  // back from another window
  QApplication::sendEvent(w.Text[3], &back);
  QCOMPARE(buttons(w), kBrowse);
  QTest::keyClick(w.List1, Qt::Key_Tab);
  QVERIFY(QApplication::focusWidget() == w.Text[0] && buttons(w) == kEdit);

  const Qt::KeyboardModifier modifiers[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier};
  for (int k = 0; k < 14; ++k) {
    QLineEdit* box = w.Text[k];
    QTest::mouseClick(box, Qt::LeftButton);  // edit mode at once, before any key
    QCOMPARE(buttons(w), kEdit);
    QTest::keyClicks(box, "x");
    QTest::keyClick(box, Qt::Key_Escape);
    QCOMPARE(buttons(w), kBrowse);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClicks(box, QString::number(k));
    QSignalSpy reached(box, &QLineEdit::returnPressed);
    QTest::keyClick(box, k % 2 ? Qt::Key_Enter : Qt::Key_Return, modifiers[k % 3]);
    QCOMPARE(reached.count(), 1);
    QCOMPARE(w.store().table().value(0, k), k ? QString::number(k) : QStringLiteral("Ann0"));
  }
  QVERIFY(f.platform.fakeDialogs.shown.empty());

  w.Text[13]->setText(QString(80, 'x'));
  QTest::keyClick(w.Text[13], Qt::Key_Y);
  QCOMPARE(w.Text[13]->text(), QString(80, 'x'));
  QTest::keyClick(&w, Qt::Key_F1);
  QCOMPARE(f.platform.fakeDialogs.shown.at(0).title, QStringLiteral("TAVELIN keyboard shortcuts"));
}

QTEST_MAIN(EditingTest)
#include "test_editing.moc"
