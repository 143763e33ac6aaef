// The Print, Clipboard and attachment items and the page glyph reach their subsystems, and
// the refresher sets them by mode.
#include <QAction>
#include <QFileInfo>
#include <QTest>

#include "mainform_fixture.h"
#include "output/print_text.h"

using namespace tavelin;
using platform::Button;

class OutputWiringTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void printAndCopyInBrowseMode();
  void importWhileEditing();
  void pageGlyphAndKill();
};

void OutputWiringTest::printAndCopyInBrowseMode() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann", "111"), test::recordLine("Bo", "222"),
                   test::recordLine("Cy", "333")});
  auto& w = f.start();
  w.List1->setListIndex(1);
  w.menuItem("mnuCurrent")->trigger();
  const QString bo = output::recordPrintText(w.store().table(), 1) + "\r\n";
  QCOMPARE(f.platform.fakePrinter.jobs, QStringList{bo});
  QVERIFY(bo.startsWith("Full Name:\tBo "));

  f.platform.fakeDialogs.answers = {Button::Yes};
  w.menuItem("mnuAll")->trigger();
  QCOMPARE(f.platform.fakePrinter.jobs.size(), 2);
  QVERIFY(f.platform.fakePrinter.jobs[1].indexOf("\tAnn ") <
          f.platform.fakePrinter.jobs[1].indexOf("\tCy "));

  w.menuItem("mnuClipRecord")->trigger();
  QCOMPARE(f.platform.fakeClipboard.content, "Bo\r\n222\r\n");
  w.menuItem("mnuClipAddr")->trigger();
  QCOMPARE(f.platform.fakeClipboard.content, "Bo\r\n\r\n\r\n\r\n");
  f.platform.fakePrinter.fontChoices = {platform::PrinterFont{"Serif", 12, true, false}};
  w.menuItem("mnuSetFont")->trigger();
  QCOMPARE(f.platform.fakePrinter.font().size, 12.0);
  w.menuItem("mnuSetPrinter")->trigger();
  QCOMPARE(f.platform.fakePrinter.printerDialogs, 1);
}

// While editing, the refresher offers the import and withholds printing, copying and the
// record's attachment; the import fills the fields.
void OutputWiringTest::importWhileEditing() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann", "111")});
  auto& w = f.start();
  w.Command2_Click();
  // Within the tick before the menu follows the mode, the handler refuses by itself.
  w.menuItem("mnuCurrent")->trigger();
  QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{"Cannot print in ADD or EDIT mode."});
  QVERIFY(f.platform.fakePrinter.printed.empty());
  w.Timer1_Timer();
  for (const char* name :
       {"mnuCurrent", "mnuAll", "mnuClipRecord", "mnuClipAddr", "mnuTxt", "mnuKill"}) {
    QVERIFY2(!w.menuItem(name)->isEnabled(), name);
  }
  for (const char* name : {"mnuRead", "mnuSetFont", "mnuSetPrinter", "mnuKillAll"}) {
    QVERIFY2(w.menuItem(name)->isEnabled(), name);
  }
  f.platform.fakeClipboard.content = "Ann Other, Elm Row 2";
  w.menuItem("mnuRead")->trigger();
  QCOMPARE(f.fieldTexts().mid(0, 5), QStringList({"Ann Other", "Elm Row 2", "", "", "111"}));
  QCOMPARE(w.Command3->text(), "Cancel");
}

// A click on the glyph creates and opens the note file, underlined at once; a kill removes it
// and the next refresher tick takes the underline away.
void OutputWiringTest::pageGlyphAndKill() {
  test::MainformFixture f;
  f.writeDataFile({test::recordLine("Ann Able")});
  f.platform.fakeSettings.values["Platform/Editor"] = "my-editor";
  auto& w = f.start();
  QVERIFY(!w.Label13->font().underline());
  f.platform.fakeDialogs.answers = {Button::Yes};
  QTest::mouseClick(w.Label13, Qt::LeftButton);
  QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{"File not found. Create new?"});
  QCOMPARE(f.platform.fakeLauncher.started.size(), 1u);
  QCOMPARE(f.platform.fakeLauncher.started[0].program, "my-editor");
  QCOMPARE(f.platform.fakeLauncher.started[0].arguments,
           QStringList{QFileInfo(f.env.workPath("Ann Able.ATA")).absoluteFilePath()});
  QVERIFY(w.Label13->font().underline());

  w.menuItem("mnuTxt")->trigger();  // the file exists now, empty: asked again
  QCOMPARE(f.platform.fakeDialogs.shown.size(), 2u);
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
  QCOMPARE(f.platform.fakeDialogs.shown.back().title, "Kill ALL Notepad files");
}

QTEST_MAIN(OutputWiringTest)
#include "test_output_wiring.moc"
