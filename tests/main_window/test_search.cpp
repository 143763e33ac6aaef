#include <QApplication>
#include <QCheckBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"
#include "options/frm_options.h"

using namespace tavelin;

class SearchTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void findFirstNextAndEnd();
  void endingASearch();
};

namespace {

// "Name 00".."Name 59"; row 12 has the text in its e-mail, row 30 in its phone, row 35 (the
// extra "Name 35", without a phone, sorts first) in its last note.
main_window::Mainform& sixtyRecords(test::MainformFixture& f) {
  QStringList lines;
  for (int i = 0; i < 60; ++i) {
    lines << test::recordLine(
        QStringLiteral("Name %1").arg(i, 2, 10, QLatin1Char('0')),
        i == 30 ? QStringLiteral("call smith's office") : "555 " + QString::number(i),
        i == 12 ? "jo@SMITHY.org" : "");
  }
  lines << "\"Name 35\"" + QString(",\"\"").repeated(12) + ",\"it's 'quoted'\"";
  f.writeDataFile(lines);
  auto& w = f.start();
  w.Timer1->stop();
  w.frmOptions().Check2->setChecked(false);  // on in the default options
  return w;
}

int topRow(const main_window::Mainform& w) {
  return w.List1->indexAt(QPoint(2, 2)).row();
}

}  // namespace

void SearchTest::findFirstNextAndEnd() {
  test::MainformFixture f;
  auto& w = sixtyRecords(f);
  auto& dialogs = f.platform.fakeDialogs;
  w.List1->setListIndex(20);

  // From the first record whatever is selected; case ignored; kept in proper case.
  dialogs.inputAnswers = {"sMITH"};
  QTest::mouseClick(w.Command8, Qt::LeftButton);
  QCOMPARE(dialogs.inputsShown[0].prompt, QStringLiteral("Enter search string:"));
  QCOMPARE(dialogs.inputsShown[0].title, QStringLiteral("Tavelin"));
  QCOMPARE(w.SearchString, QStringLiteral("Smith"));
  QVERIFY(f.listIndex() == 12 && topRow(w) == 12);
  QVERIFY(w.Text[8]->font().bold() && !w.Text[0]->font().bold());
  QCOMPARE(w.Command5->text(), QStringLiteral("Clear"));

  // Next: after the selected row. Then nothing more: no wrap, the selection stays.
  QTest::mouseClick(w.Command1, Qt::LeftButton);
  QVERIFY(f.listIndex() == 30 && topRow(w) == 30);
  w.menuItem("mnuNext")->trigger();
  QCOMPARE(dialogs.texts(), QStringList{"No (more) matching records found."});
  QCOMPARE(dialogs.shown[0].icon, platform::Icon::Exclamation);
  QVERIFY(f.listIndex() == 30 && w.SearchString == "Smith" && w.Command5->text() == "Clear");

  // The current string is proposed; a double quote searches for an apostrophe.
  dialogs.inputAnswers = {"\"QUOTED\""};
  w.menuItem("mnuFind")->trigger();
  QCOMPARE(dialogs.inputsShown[1].proposed, QStringLiteral("Smith"));
  QCOMPARE(w.SearchString, QStringLiteral("'quoted'"));
  QVERIFY(f.listIndex() == 35 && w.Text[13]->font().bold());

  // The padding keeps a name and the next field apart.
  dialogs.inputAnswers = {"00555"};
  w.NewSearch();
  QVERIFY(dialogs.shown.size() == 2 && f.listIndex() == 0);
}

// Cancel, find-next without a string, Clear, the Clear menu item, the clear-on-failure option.
void SearchTest::endingASearch() {
  test::MainformFixture f;
  auto& w = sixtyRecords(f);
  auto& dialogs = f.platform.fakeDialogs;
  QSignalSpy ended(&w, &main_window::Mainform::programEnded);
  dialogs.inputAnswers = {"smith"};
  w.NewSearch();
  w.List1->setListIndex(5);
  w.NewSearch();  // cancelled
  QVERIFY(w.SearchString.isEmpty() && w.Command5->text() == "Quit" && f.listIndex() == 5);
  w.Text[2]->setFocus();
  w.FindNext();
  QVERIFY(QApplication::focusWidget() == w.List1 && f.listIndex() == 5 && dialogs.shown.empty());

  dialogs.inputAnswers = {"smith"};
  w.NewSearch();
  QTest::mouseClick(w.Command5, Qt::LeftButton);  // "Clear" clears; it does not quit
  QVERIFY(w.SearchString.isEmpty() && w.Command5->text() == "Quit" && ended.count() == 0);
  QVERIFY(!w.Text[8]->font().bold());
  dialogs.inputAnswers = {"smith"};
  w.NewSearch();
  w.menuItem("mnuClear")->trigger();
  QVERIFY(w.SearchString.isEmpty() && w.Command5->text() == "Quit");

  dialogs.inputAnswers = {"nobody", "nobody"};
  w.NewSearch();
  QVERIFY(w.SearchString == "Nobody" && w.Command5->text() == "Clear");
  w.frmOptions().Check2->setChecked(true);
  w.NewSearch();
  QVERIFY(w.SearchString.isEmpty() && w.Command5->text() == "Quit" && dialogs.shown.size() == 2);
}

QTEST_MAIN(SearchTest)
#include "test_search.moc"
