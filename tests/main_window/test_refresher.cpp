#include <QCheckBox>
#include <QLocale>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"
#include "options/frm_options.h"

using namespace tavelin;

class RefresherTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void menuItemsListToolTipAndTitle();
};

// The menu items (not the menus) that are enabled, or those that are not, by name, sorted.
static QStringList menuItems(const main_window::Mainform& w, bool enabled) {
  QStringList names;
  for (const QAction* a : w.findChildren<QAction*>()) {
    if (!a->menu() && !a->isSeparator() && a->isEnabled() == enabled) names << a->objectName();
  }
  names.sort();
  return names;
}

void RefresherTest::menuItemsListToolTipAndTitle() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann", "555", "ann@example.org"),
                   R"("Bo","","","","","777","","","","https://bo.example","","","","")"});
  f.platform.fakeClock.time = QDateTime(QDate(2026, 3, 4), QTime(9, 5, 30));
  auto& w = f.start();
  w.Timer1->stop();
  auto& o = w.frmOptions();

  // Browsing, the menu items follow the shown record's fields and the search string. The list's
  // tool tip stays without a Phone 1, but not without fancy pointers.
  for (QCheckBox* box : {o.chkTool, o.chkFancy}) box->setChecked(true);
  w.Timer1_Timer();
  QCOMPARE(menuItems(w, false), QStringList({"mnuClear", "mnuDial2", "mnuDial3", "mnuDial4",
                                             "mnuNext", "mnuRead", "mnuURL"}));
  QCOMPARE(w.List1->toolTip(), QStringLiteral("Double-click to dial first phone number"));
  w.List1->setListIndex(1);
  w.SearchString = "Bo";
  w.Timer1_Timer();
  QCOMPARE(menuItems(w, false),
           QStringList({"mnuDial1", "mnuDial3", "mnuDial4", "mnuMailEmail", "mnuRead"}));
  QVERIFY(!w.List1->toolTip().isEmpty());
  o.chkFancy->setChecked(false);
  w.Timer1_Timer();
  QVERIFY(w.List1->toolTip().isEmpty());

  // Editing, only reading from the clipboard joins the items always enabled; the typing stays.
  QTest::mouseClick(w.Text[5], Qt::LeftButton);
  QTest::keyClicks(w.Text[5], "8");
  w.Timer1_Timer();
  QCOMPARE(menuItems(w, true),
           QStringList({"mnuAbout", "mnuBA", "mnuBrowBlank", "mnuHelp", "mnuInfo", "mnuKillAll",
                        "mnuManual", "mnuOptions", "mnuQuit", "mnuRA", "mnuRead", "mnuRest",
                        "mnuSetFont", "mnuSetPrinter"}));
  QCOMPARE(w.Text[5]->text(), QStringLiteral("7778"));

  // The clock's time, the date and the search string's first 25 characters, as the options say.
  const auto title = [&](bool time, bool date, bool searchString) {
    o.Check1->setChecked(time), o.Check5->setChecked(date), o.Check4->setChecked(searchString);
    w.Timer1_Timer();
    return w.windowTitle();
  };
  const QString date = QLocale::system().toString(QDate(2026, 3, 4), QLocale::ShortFormat);
  w.SearchString = "a very long search string indeed";
  QCOMPARE(title(true, false, false), QStringLiteral("Malvek Tavelin [09:05]"));
  QCOMPARE(title(false, true, true),
           "Malvek Tavelin  [" + date + "]  [Search String: A Very Long Search String]");
  w.SearchString = "   ";  // blanks only: not shown
  QCOMPARE(title(true, true, true), "Malvek Tavelin [09:05]  [" + date + ']');
}

QTEST_MAIN(RefresherTest)
#include "test_refresher.moc"
