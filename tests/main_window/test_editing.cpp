#include <QApplication>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"

using namespace tavelin;

namespace {

// The first five buttons, in brackets when disabled: they tell the three modes apart.
QString buttons(const main_window::Mainform& w) {
  QString out;
  for (const QPushButton* b : {w.Command1, w.Command2, w.Command3, w.Command4, w.Command5})
    out += (b->isEnabled() ? b->text() : '[' + b->text() + ']') + ' ';
  return out;
}
const QString kBrowse = "Next Edit Delete Add Quit ", kAdd = "[Next] [Edit] Cancel Save [Quit] ",
              kEdit = "[Next] Save Cancel [Add] [Quit] ";

// Ann, Bob, Cleo with Bob selected; the refresher is driven by hand.
main_window::Mainform& threeRecords(test::MainformFixture& f) {
  f.writeDataFile({test::recordLine("Cleo"), test::recordLine("Bob"), test::recordLine("Ann")});
  auto& w = f.start();
  w.Timer1->stop();
  w.List1->setListIndex(1);
  return w;
}

}  // namespace

class EditingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void addAndEdit() {
    test::MainformFixture f;
    auto& w = threeRecords(f);
    // After a save the same row number stays selected, whatever record is now there.
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QVERIFY(buttons(w) == kAdd && f.fieldTexts() == QStringList(14) && w.Text[0]->hasFocus());
    QTest::keyClicks(w.Text[0], "Abe \"A\"");  // sorts first
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QCOMPARE(f.listNames(), (QStringList{"Abe 'A'", "Ann", "Bob", "Cleo"}));
    QVERIFY(f.listIndex() == 1 && w.Text[0]->text() == "Ann" && buttons(w) == kBrowse);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    w.Text[0]->setText("Zara");  // sorts last
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(f.listNames(), (QStringList{"Abe 'A'", "Bob", "Cleo", "Zara"}));
    QVERIFY(f.listIndex() == 1 && w.Text[0]->text() == "Bob" && buttons(w) == kBrowse);

    // Refused names, Cancel and Esc write nothing and bring back the record in browse mode.
    auto& dialogs = f.platform.fakeDialogs;
    const QStringList shown = f.fieldTexts();
    const QByteArray before = f.dataFile();
    for (const auto& [start, name, end, message] :
         {std::tuple<QPushButton*, QString, QPushButton*, QString>{
              w.Command2, "   ", w.Command2, "The NAME field cannot be blank."},
          {w.Command4, "", w.Command4, "You must at least enter the NAME field."},
          {w.Command4, "New", w.Command3, ""},
          {w.Command2, "New", nullptr, ""}}) {
      dialogs.clear();
      QTest::mouseClick(start, Qt::LeftButton);
      w.Text[0]->setText(name);
      end ? QTest::mouseClick(end, Qt::LeftButton) : QTest::keyClick(w.Text[0], Qt::Key_Escape);
      QCOMPARE(dialogs.texts().join('|'), message);
      QVERIFY(f.fieldTexts() == shown && f.dataFile() == before && buttons(w) == kBrowse);
    }
    QTest::mouseClick(w.List1->viewport(), Qt::RightButton);  // the right button adds too
    w.Text[0]->setText("  ");  // a new name of blanks only is accepted
    QTest::mouseClick(w.List1->viewport(), Qt::RightButton);
    QVERIFY(f.listNames().size() == 5 && dialogs.shown.empty());
  }

  // No keeps the record; Yes deletes it and its note file, then the row above, or the first row,
  // or one blank row is selected. (A failed write is in test_write_faults.)
  void deleting() {
    test::MainformFixture f;
    auto& w = threeRecords(f);
    const QString attachment = f.env.workPath("Bob.ATA");
    test::writeFile(attachment, "note\r\n");
    f.platform.fakeDialogs.answers = {platform::Button::No};
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    QVERIFY(f.listNames().size() == 3 && QFile::exists(attachment));
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    QVERIFY(f.listNames() == QStringList({"Ann", "Cleo"}) && w.Text[0]->text() == "Ann");
    QVERIFY(!QFile::exists(attachment));
    w.menuItem("mnuDelete")->trigger();
    QVERIFY(f.listNames() == QStringList{"Cleo"} && f.listIndex() == 0);
    QTest::keyClick(&w, Qt::Key_Delete);
    QVERIFY(f.dataFile().isEmpty() && f.listNames() == QStringList{QString()} &&
            f.listIndex() == 0);
  }

  // Focus into a field (not back from another window) enters edit mode; either Enter saves.
  void fieldKeys() {
    test::MainformFixture f;
    auto& w = threeRecords(f);
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(w.Text[3], &back);
    QCOMPARE(buttons(w), kBrowse);
    for (int k = 0; k < 14; ++k) {
      QTest::mouseClick(w.Text[k], Qt::LeftButton);
      QCOMPARE(buttons(w), kEdit);
      QTest::keyClicks(w.Text[k], QString::number(k));
      QTest::keyClick(w.Text[k], k % 2 ? Qt::Key_Enter : Qt::Key_Return);
      QCOMPARE(w.store().table().value(1, k), k ? QString::number(k) : QStringLiteral("Bob0"));
    }
  }
};

QTEST_MAIN(EditingTest)
#include "test_editing.moc"
