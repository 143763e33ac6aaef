#include <QCheckBox>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"
#include "options/frm_options.h"

using namespace tavelin;

class RefresherTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void titleBar();
  void menuTable();
  void pointersAndToolTips();
};

namespace {

main_window::Mainform& twoRecords(test::MainformFixture& f, bool options) {
  f.writeDataFile({test::recordLine("Ann", "555", "ann@example.org"), test::recordLine("Bo")});
  auto& w = f.start();
  w.Timer1->stop();
  auto& o = w.frmOptions();
  for (QCheckBox* box : {o.Check1, o.Check4, o.Check5, o.chkTool, o.chkFancy}) {
    box->setChecked(options);
  }
  return w;
}

// The enabled menu items besides those that are always enabled, sorted.
QStringList enabledItems(const main_window::Mainform& w) {
  QStringList names;
  for (const QAction* menu : w.menuBar()->actions()) {
    for (const QAction* item : menu->menu()->actions()) {
      if (!item->isSeparator() && item->isEnabled()) names << item->objectName();
    }
  }
  for (const char* always :
       {"mnuRest", "mnuBA", "mnuRA", "mnuQuit", "mnuSetFont", "mnuSetPrinter", "mnuBrowBlank",
        "mnuKillAll", "mnuOptions", "mnuHelp", "mnuInfo", "mnuManual", "mnuAbout"}) {
    if (!names.removeOne(always)) names << QStringLiteral("missing ") + always;
  }
  names.sort();
  return names;
}

bool custom(const QLabel* label) {
  return label->cursor().shape() == Qt::BitmapCursor && !label->cursor().pixmap().isNull();
}

}  // namespace

void RefresherTest::titleBar() {
  test::MainformFixture f;
  auto& w = twoRecords(f, false);
  QVERIFY(w.Timer1->interval() == 500 && w.findChild<QTimer*>("Timer1") == w.Timer1);
  w.Timer1_Timer();
  QCOMPARE(w.windowTitle(), QStringLiteral("Malvek Tavelin"));

  auto& clock = f.platform.fakeClock.time;
  clock = QDateTime(QDate(2026, 3, 4), QTime(9, 5, 30));
  w.frmOptions().Check1->setChecked(true);
  QSignalSpy written(&w, &QWidget::windowTitleChanged);
  w.Timer1_Timer();
  w.Timer1_Timer();
  QCOMPARE(w.windowTitle(), QStringLiteral("Malvek Tavelin [09:05]"));
  QCOMPARE(written.count(), 1);  // only when it changes

  w.frmOptions().Check4->setChecked(true);
  w.frmOptions().Check5->setChecked(true);
  w.SearchString = "smith";
  w.Timer1_Timer();
  QCOMPARE(w.windowTitle(), "Malvek Tavelin [09:05]  [" +
                                QLocale::system().toString(clock.date(), QLocale::ShortFormat) +
                                "]  [Search String: Smith]");
  QCOMPARE(w.Command5->text(), QStringLiteral("Clear"));
  w.SearchString.clear();
  w.Timer1_Timer();
  QCOMPARE(w.Command5->text(), QStringLiteral("Quit"));
}

// Every menu item's state after a tick, by mode and by what the shown record holds.
void RefresherTest::menuTable() {
  test::MainformFixture f;
  auto& w = twoRecords(f, true);
  w.Text[2]->setText("typed");  // the tick shows the stored record again
  w.Timer1_Timer();
  QCOMPARE(w.Text[2]->text(), QString());
  QStringList browse = {"mnuAdd",        "mnuAll",     "mnuBack",        "mnuClipAddr",
                        "mnuClipRecord", "mnuCurrent", "mnuDelete",      "mnuEdit",
                        "mnuFind",       "mnuKill",    "mnuMailAddress", "mnuTxt"};
  QStringList ann = browse + QStringList{"mnuDial1", "mnuMailEmail"};
  ann.sort();
  QCOMPARE(enabledItems(w), ann);

  // Bo: no phone, no e-mail, but a URL and an active search.
  f.writeDataFile({test::recordLine("Ann"), "\"Bo\"" + QString(",\"\"").repeated(8) +
                                                ",\"https://bo.example\",\"\",\"\",\"\",\"\""});
  w.SortFile();
  w.List1->setListIndex(1);
  w.SearchString = "Bo";
  w.Timer1_Timer();
  browse << "mnuURL"
         << "mnuNext"
         << "mnuClear";
  browse.sort();
  QCOMPARE(enabledItems(w), browse);

  // Editing: only reading from the clipboard joins the items always enabled; typing stays.
  QTest::mouseClick(w.Text[5], Qt::LeftButton);
  QTest::keyClicks(w.Text[5], "777");
  w.Timer1_Timer();
  QCOMPARE(enabledItems(w), QStringList{"mnuRead"});
  QCOMPARE(w.Text[5]->text(), QStringLiteral("777"));
}

void RefresherTest::pointersAndToolTips() {
  test::MainformFixture f;
  auto& w = twoRecords(f, false);
  w.Timer1_Timer();
  QVERIFY(w.Label3->toolTip().isEmpty() && w.Text[0]->toolTip().isEmpty());
  QVERIFY(!custom(w.Label3) && !custom(w.Label13));

  w.frmOptions().chkTool->setChecked(true);
  w.frmOptions().chkFancy->setChecked(true);
  w.Timer1_Timer();
  QCOMPARE(w.Label5->toolTip(), QStringLiteral("Click to send e-mail to Ann"));
  QCOMPARE(w.Label3->toolTip(), QStringLiteral("Click to dial 555"));
  QCOMPARE(w.Label6->toolTip(), QStringLiteral("Click to send e-mail to ann@example.org"));
  QVERIFY(w.Label10->toolTip().isEmpty() && !custom(w.Label10));  // no Phone 2
  QCOMPARE(w.Label8->toolTip(), QStringLiteral("Auto-launch Internet Explorer"));
  QVERIFY(!custom(w.Label8));  // no URL
  QCOMPARE(w.Label13->toolTip(), QStringLiteral("Notepad textfile attachment"));
  QCOMPARE(w.Text[8]->toolTip(), QStringLiteral("ann@example.org"));
  QCOMPARE(w.List1->toolTip(), QStringLiteral("Double-click to dial first phone number"));
  QVERIFY(custom(w.Label5) && custom(w.Label3) && custom(w.Label6) && custom(w.Label13));

  // Without Phone 1 the list keeps its tool tip; without fancy pointers it loses it.
  w.List1->setListIndex(1);
  w.Timer1_Timer();
  QCOMPARE(w.List1->toolTip(), QStringLiteral("Double-click to dial first phone number"));
  w.frmOptions().chkFancy->setChecked(false);
  w.Timer1_Timer();
  QVERIFY(w.List1->toolTip().isEmpty());
  w.frmOptions().chkFancy->setChecked(true);

  // The field labels' pointers go by the flags, the attachment label's by the caption.
  w.List1->setListIndex(0);
  w.Editing = true;
  w.Timer1_Timer();
  QVERIFY(!custom(w.Label5) && custom(w.Label13));
  QTest::mouseClick(w.Command2, Qt::LeftButton);
  const QString longName(80, 'n');
  w.Text[0]->setText(longName);
  w.Timer1_Timer();
  QVERIFY(!custom(w.Label5) && !custom(w.Label13));
  QVERIFY(w.Text[0]->toolTip() == longName && w.Label5->toolTip().endsWith(longName));
}

QTEST_MAIN(RefresherTest)
#include "test_refresher.moc"
