#include <QTest>

#include "output/print_text.h"
#include "output/printing.h"
#include "platform/fake/fake_platform.h"
#include "platform/qt/qt_printer.h"
#include "record_store/record_table.h"
#include "support/fake_record_view.h"
#include "support/pdf_text.h"
#include "support/test_env.h"

using namespace tavelin;
using platform::Button;
using platform::Icon;
using platform::PrinterFont;

namespace {

const QStringList kLabels = {"Full Name:", "Address 1:", "Address 2:", "Address 3:", "Phone 1:  ",
                             "Phone 2:  ", "Phone 3:  ", "Phone 4:  ", "E-Mail:   ", "Notes 1:  ",
                             "Notes 2:  ", "Notes 3:  ", "Notes 4:  ", "Notes 5:  "};

// Three records in list order; the second has no Address 2.
RecordTable threeRecords() {
  RecordTable table;
  for (const QString name : {"Ann Able", "Bo Brown", "Cy Cole"}) {
    table.beginRecord();
    for (int k = 0; k < kFieldCount; ++k) {
      const bool gap = name == QLatin1String("Bo Brown") && k == 2;
      table.addField(k == 0 ? name : gap ? QString() : QStringLiteral("%1 f%2").arg(name).arg(k));
    }
    table.endRecord();
  }
  return table;
}

// The value printed for a field: the stored text padded to 80 characters.
QString slot(const QString& text) {
  return text.leftJustified(kFieldWidth, QLatin1Char(' '));
}

struct Rig {
  explicit Rig(platform::Printer& printer) : printing(printer, dialogs, view, table) {}
  RecordTable table = threeRecords();
  platform::FakeDialogs dialogs;
  test::FakeRecordView view;
  output::Printing printing;
};

}  // namespace

class PrintingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void recordText();
  void printCurrent();
  void printAll();
  void refusedWhileAddingOrEditing();
  void failedJobIsReported();
  void toPdf();

 private:
  test::TestEnvironment env_;
};

// All three records: 48 lines in list order, each field's line with its full 80 characters.
void PrintingTest::recordText() {
  const RecordTable table = threeRecords();
  QString all;
  for (int row = 0; row < 3; ++row) all += output::recordPrintText(table, row) + "\r\n";
  QVERIFY(all.endsWith("\r\n"));
  QStringList lines = all.split("\r\n");
  lines.removeLast();  // after the last line end
  QCOMPARE(lines.size(), 48);
  const QStringList names = {"Ann Able", "Bo Brown", "Cy Cole"};
  for (int r = 0; r < 3; ++r) {
    for (int k = 0; k < kFieldCount; ++k) {
      const bool gap = r == 1 && k == 2;
      const QString value = k == 0 ? names[r]
                            : gap  ? QString()
                                   : QString("%1 f%2").arg(names[r]).arg(k);
      QCOMPARE(lines[r * 16 + k], kLabels[k] + '\t' + slot(value));
    }
    QCOMPARE(lines[r * 16 + 14], QString());
    QCOMPARE(lines[r * 16 + 15], QString());
  }
}

void PrintingTest::printCurrent() {
  platform::FakePrinter printer;
  Rig rig(printer);
  rig.view.row = 1;
  rig.printing.mnuCurrent_Click();
  QCOMPARE(printer.jobs, QStringList{output::recordPrintText(rig.table, 1) + "\r\n"});
  QVERIFY(rig.dialogs.shown.empty());
  QCOMPARE(rig.view.listFocused, 1);
  QVERIFY(!rig.view.busy);

  // No row selected: nothing to print, nothing said.
  rig.view.row = -1;
  rig.printing.mnuCurrent_Click();
  QCOMPARE(printer.jobs.size(), 1);
  QVERIFY(printer.printed.size() == 1 && printer.pending.isEmpty());
  QVERIFY(rig.dialogs.shown.empty());
}

// One question, then every record in list order as one job; No prints nothing.
void PrintingTest::printAll() {
  platform::FakePrinter printer;
  Rig rig(printer);
  rig.dialogs.answers = {Button::No, Button::Yes};
  rig.printing.mnuAll_Click();
  QVERIFY(printer.printed.empty() && printer.jobs.isEmpty());
  QCOMPARE(rig.view.listFocused, 1);

  rig.printing.mnuAll_Click();
  QCOMPARE(rig.dialogs.shown.size(), 2u);
  const platform::Message& asked = rig.dialogs.shown.back();
  QCOMPARE(asked.text, "Really print ALL the records?");
  QCOMPARE(asked.buttons, platform::Buttons::YesNo);
  QCOMPARE(asked.icon, Icon::Information);
  QCOMPARE(asked.title, "Tavelin");
  QString expected;
  for (int row = 0; row < 3; ++row) expected += output::recordPrintText(rig.table, row) + "\r\n";
  QCOMPARE(printer.jobs, QStringList{expected});
  QCOMPARE(printer.printed.size(), 3u);  // one print statement a record
  QCOMPARE(rig.view.listFocused, 2);
}

void PrintingTest::refusedWhileAddingOrEditing() {
  platform::FakePrinter printer;
  Rig rig(printer);
  rig.view.cancelShown = true;
  rig.printing.mnuCurrent_Click();
  rig.printing.mnuAll_Click();
  QCOMPARE(rig.dialogs.texts(),
           QStringList({"Cannot print in ADD or EDIT mode.", "Cannot print in ADD or EDIT mode."}));
  QCOMPARE(rig.dialogs.shown.front().icon, Icon::Critical);
  QVERIFY(printer.printed.empty() && printer.jobs.isEmpty());
  QCOMPARE(rig.view.listFocused, 2);
}

// A job the printer could not take is named in one message, not dropped in silence.
void PrintingTest::failedJobIsReported() {
  platform::FakePrinter printer;
  printer.failWith = "the file \"/x/out.pdf\" cannot be written";
  Rig rig(printer);
  rig.dialogs.answers = {Button::Yes};
  rig.printing.mnuAll_Click();
  QCOMPARE(rig.dialogs.texts(), QStringList({"Really print ALL the records?",
                                             "Printing failed: the file \"/x/out.pdf\" cannot be "
                                             "written."}));
  QCOMPARE(rig.dialogs.shown.back().icon, Icon::Critical);
  QVERIFY(!rig.view.busy);
  rig.printing.mnuCurrent_Click();
  QCOMPARE(rig.dialogs.shown.size(), 3u);
}

// On paper (a PDF here): fourteen labelled lines a record, values in one column, records in
// list order, and the two empty lines after each.
void PrintingTest::toPdf() {
  platform::FakeSettingsStore settings;
  const QString pdf = env_.workPath("records.pdf");
  settings.values["Platform/Printer"] = pdf;
  platform::QtPrinter printer(settings);
  printer.setFont(PrinterFont{"DejaVu Sans", 10, false, false});
  Rig rig(printer);
  rig.view.row = 2;
  rig.printing.mnuCurrent_Click();
  QStringList lines = test::pdfLines(pdf);
  QCOMPARE(lines.size(), 14);
  QVERIFY(lines[0].startsWith("Full Name:") && lines[0].endsWith(" Cy Cole"));

  rig.dialogs.answers = {Button::Yes};
  rig.printing.mnuAll_Click();
  QVERIFY(rig.dialogs.shown.size() == 1);  // the question, no failure
  const QStringList pages = test::pdfPages(pdf);
  QCOMPARE(pages.size(), 1);
  lines = pages[0].split(QLatin1Char('\n'));
  // Blank lines at the end of the job leave no trace on the page.
  QVERIFY(lines.size() >= 46);
  const QStringList names = {"Ann Able", "Bo Brown", "Cy Cole"};
  const qsizetype column = lines[0].indexOf("Ann Able");
  QVERIFY(column >= 11);
  for (int r = 0; r < 3; ++r) {
    for (int k = 0; k < kFieldCount; ++k) {
      const QString line = lines[r * 16 + k].trimmed();
      QVERIFY2(line.startsWith(kLabels[k].trimmed()), qPrintable(line));
      if (r == 1 && k == 2) {
        QCOMPARE(line, "Address 2:");
        continue;
      }
      const QString value = k == 0 ? names[r] : QString("%1 f%2").arg(names[r]).arg(k);
      QCOMPARE(lines[r * 16 + k].indexOf(value), column);
    }
    if (r == 2) break;
    QCOMPARE(lines[r * 16 + 14].trimmed(), QString());
    QCOMPARE(lines[r * 16 + 15].trimmed(), QString());
  }
}

QTEST_MAIN(PrintingTest)
#include "test_printing.moc"
