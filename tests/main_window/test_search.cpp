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
  void search();
};

void SearchTest::search() {
  // Row 35 is the extra "Name 35", sorting first for want of a phone.
  QStringList lines = {"\"Name 35\"" + QString(",\"\"").repeated(12) + ",\"it's 'quoted'\""};
  for (int i = 0; i < 60; ++i) {
    const QString n = QString("%1").arg(i, 2, 10, QLatin1Char('0'));
    lines << test::recordLine("Name " + n, i == 30 ? QString("call smith's office") : "555 " + n,
                              i == 12 ? "jo@SMITHY.org" : "");
  }
  test::MainformFixture f;
  f.writeDataFile(lines);
  auto& w = f.start();
  w.Timer1->stop();
  auto& dialogs = f.platform.fakeDialogs;
  const auto topRow = [&] { return w.List1->indexAt(QPoint(2, 2)).row(); };

  // From row 0, any case, kept in proper case, shown at the top; no wrap; Check2 (on) clears.
  w.List1->setListIndex(20);
  dialogs.inputAnswers = {"sMITH"};
  QTest::mouseClick(w.Command8, Qt::LeftButton);
  QVERIFY(w.SearchString == "Smith" && f.listIndex() == 12 && topRow() == 12);
  QTest::mouseClick(w.Command1, Qt::LeftButton);
  QVERIFY(f.listIndex() == 30 && topRow() == 30);
  w.menuItem("mnuNext")->trigger();
  QCOMPARE(dialogs.texts(), QStringList{"No (more) matching records found."});
  QVERIFY(f.listIndex() == 30 && w.SearchString.isEmpty() && w.Command5->text() == "Quit");

  dialogs.inputAnswers = {"\"QUOTED\""};  // a double quote searches for an apostrophe
  w.menuItem("mnuFind")->trigger();
  QVERIFY(w.SearchString == "'quoted'" && f.listIndex() == 35);

  // The padding keeps a name and the next field apart. Without Check2 a failed search stays.
  w.frmOptions().Check2->setChecked(false);
  dialogs.inputAnswers = {"00555"};
  w.NewSearch();
  QVERIFY(dialogs.shown.size() == 2 && w.SearchString == "00555" && w.Command5->text() == "Clear");

  // Cancel clears, as does Clear, which does not quit.
  QSignalSpy ended(&w, &main_window::Mainform::programEnded);
  for (const bool cancel : {true, false}) {
    dialogs.inputAnswers = {"smith"};
    w.NewSearch();
    cancel ? w.NewSearch() : QTest::mouseClick(w.Command5, Qt::LeftButton);
    QVERIFY(w.SearchString.isEmpty() && w.Command5->text() == "Quit" && ended.count() == 0);
  }
}

QTEST_MAIN(SearchTest)
#include "test_search.moc"
