// The refresher sets the menu items, the list's tool tip and the title by record, mode and
// options; the Print, Clipboard and attachment items and the page glyph reach their subsystems.
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLocale>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "output/print_text.h"

using namespace tavelin;
using platform::Button;

namespace {

// The menu items (not the menus) that are enabled, or those that are not, by name, sorted.
QStringList menuItems(const main_window::Mainform& w, bool enabled) {
  QStringList names;
  for (const QAction* a : w.findChildren<QAction*>()) {
    if (!a->menu() && !a->isSeparator() && a->isEnabled() == enabled) names << a->objectName();
  }
  names.sort();
  return names;
}

// A phone 2 and a web address, no phone 1 (outside the class, where moc reads no raw string).
const QString kBo = R"("Bo","","","","","777","","","","https://bo.example","","","","")";

}  // namespace

class OutputWiringTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void refresherByRecordAndMode() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("Ann", "555", "ann@example.org"), kBo});
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
             QStringList({"mnuAbout", "mnuAccount", "mnuBA", "mnuBrowBlank", "mnuHelp", "mnuInfo",
                          "mnuKillAll", "mnuManual", "mnuOptions", "mnuQuit", "mnuRA", "mnuRead",
                          "mnuRest", "mnuSetFont", "mnuSetPrinter"}));
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
  }

  // Browsing, the items reach the printer and the clipboard with the selected record; editing,
  // the import fills the fields. (The texts themselves: test_printing, test_clipboard_text.)
  void printCopyAndImport() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("Ann", "111"), test::recordLine("Bo", "222"),
                     test::recordLine("Cy", "333")});
    auto& w = f.start();
    w.List1->setListIndex(1);
    w.menuItem("mnuCurrent")->trigger();
    const QString bo = output::recordPrintText(TableRecords(w.store().table()), 1) + "\r\n";
    QCOMPARE(f.platform.fakePrinter.jobs, QStringList{bo});
    QVERIFY(bo.startsWith("Full Name:\tBo "));

    f.platform.fakeDialogs.answers = {Button::Yes};
    w.menuItem("mnuAll")->trigger();
    QCOMPARE(f.platform.fakePrinter.jobs.size(), 2);

    w.menuItem("mnuClipRecord")->trigger();
    QCOMPARE(f.platform.fakeClipboard.content, "Bo\r\n222\r\n");
    w.menuItem("mnuClipAddr")->trigger();
    QCOMPARE(f.platform.fakeClipboard.content, "Bo\r\n\r\n\r\n\r\n");
    f.platform.fakePrinter.fontChoices = {platform::PrinterFont{"Serif", 12, true, false}};
    w.menuItem("mnuSetFont")->trigger();
    QCOMPARE(f.platform.fakePrinter.font().size, 12.0);
    w.menuItem("mnuSetPrinter")->trigger();
    QCOMPARE(f.platform.fakePrinter.printerDialogs, 1);

    f.platform.fakePrinter.printed.clear();
    f.platform.fakeDialogs.clear();
    w.List1->setListIndex(0);
    w.Command2_Click();
    // Within the tick before the menu follows the mode, the handler refuses by itself.
    w.menuItem("mnuCurrent")->trigger();
    QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{"Cannot print in ADD or EDIT mode."});
    QVERIFY(f.platform.fakePrinter.printed.empty());
    w.Timer1_Timer();  // which items it then enables is in refresherByRecordAndMode
    f.platform.fakeClipboard.content = "Ann Other, Elm Row 2";
    w.menuItem("mnuRead")->trigger();
    QCOMPARE(f.fieldTexts().mid(0, 5), QStringList({"Ann Other", "Elm Row 2", "", "", "111"}));
    QCOMPARE(w.Command3->text(), "Cancel");
  }

  // A click on the glyph creates and opens the note file, underlined at once; a kill removes it
  // and the next refresher tick takes the underline away.
  void pageGlyphAndKill() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("Ann Able")});
    f.platform.fakeSettings.values["Platform/Editor"] = "my-editor";
    auto& w = f.start();
    QVERIFY(!w.Label13->font().underline());
    f.platform.fakeDialogs.answers = {Button::Yes};
    QTest::mouseClick(w.Label13, Qt::LeftButton);  // asked first: test_attachments
    QCOMPARE(f.platform.fakeLauncher.started.size(), 1u);
    QCOMPARE(f.platform.fakeLauncher.started[0].program, "my-editor");
    QCOMPARE(f.platform.fakeLauncher.started[0].arguments,
             QStringList{QFileInfo(f.env.workPath("Ann Able.ATA")).absoluteFilePath()});
    QVERIFY(w.Label13->font().underline());

    w.menuItem("mnuTxt")->trigger();
    QCOMPARE(f.platform.fakeLauncher.started.size(), 2u);

    f.platform.fakeDialogs.answers = {Button::Yes};
    w.menuItem("mnuKill")->trigger();
    QVERIFY(!QFileInfo::exists(f.env.workPath("Ann Able.ATA")));
    QVERIFY(w.Label13->font().underline());
    w.Timer1_Timer();
    QVERIFY(!w.Label13->font().underline());

    test::writeFile(f.env.workPath("Ann Able.ATA"), "x");
    f.platform.fakeDialogs.answers = {Button::Yes};
    w.menuItem("mnuKillAll")->trigger();
    QVERIFY(!QFileInfo::exists(f.env.workPath("Ann Able.ATA")));
  }
};

QTEST_MAIN(OutputWiringTest)
#include "test_output_wiring.moc"
