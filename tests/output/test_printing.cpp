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

namespace {

const QStringList kNames = {"Ann Able", "Bo Brown", "Cy Cole"};
const QStringList kLabels = {"Full Name:", "Address 1:", "Address 2:", "Address 3:", "Phone 1:  ",
                             "Phone 2:  ", "Phone 3:  ", "Phone 4:  ", "E-Mail:   ", "Notes 1:  ",
                             "Notes 2:  ", "Notes 3:  ", "Notes 4:  ", "Notes 5:  "};

// Field k of record r of three in list order; the second has no Address 2.
QString value(int r, int k) {
  if (k == 0) return kNames[r];
  if (r == 1 && k == 2) return {};
  return QString("%1 f%2").arg(kNames[r]).arg(k);
}

// What a record prints: each field's label, a tab and the value padded to 80; two empty lines.
QStringList printedLines(int r) {
  QStringList lines;
  for (int k = 0; k < kFieldCount; ++k) lines << kLabels[k] + '\t' + value(r, k).leftJustified(80);
  return lines << QString() << QString();
}

QStringList simplified(QStringList lines) {
  for (QString& line : lines) line = line.simplified();
  while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

struct Rig {
  explicit Rig(platform::Printer& printer) : printing(printer, dialogs, view) {
    for (int r = 0; r < 3; ++r) {
      view.table.beginRecord();
      for (int k = 0; k < kFieldCount; ++k) view.table.addField(value(r, k));
      view.table.endRecord();
    }
  }
  platform::FakeDialogs dialogs;
  test::FakeRecordView view;
  output::Printing printing;
};

}  // namespace

class PrintingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void recordText() {
    platform::FakePrinter printer;
    Rig rig(printer);
    QString all;
    QStringList expected;
    for (int r = 0; r < 3; ++r) {
      all += output::recordPrintText(rig.view, r) + "\r\n";
      expected << printedLines(r);
    }
    QCOMPARE(all.split("\r\n"), expected << QString());  // each line ended by CR LF
  }

  void printCurrentAndAll() {
    platform::FakePrinter printer;
    Rig rig(printer);
    rig.view.row = 1;
    rig.printing.mnuCurrent_Click();
    QCOMPARE(printer.jobs, QStringList{output::recordPrintText(rig.view, 1) + "\r\n"});
    QVERIFY(rig.dialogs.shown.empty() && !rig.view.busy);
    QCOMPARE(rig.view.listFocused, 1);
    // No row selected: nothing to print, nothing said.
    rig.view.row = -1;
    rig.printing.mnuCurrent_Click();
    QVERIFY(printer.printed.size() == 1 && printer.pending.isEmpty() && rig.dialogs.shown.empty());

    // One question, then every record in list order as one job; No prints nothing.
    const QString current = printer.jobs.front();
    rig.dialogs.answers = {Button::No, Button::Yes};
    rig.printing.mnuAll_Click();
    QVERIFY(printer.printed.size() == 1 && printer.jobs.size() == 1);
    QCOMPARE(rig.view.listFocused, 3);
    rig.printing.mnuAll_Click();
    QCOMPARE(rig.dialogs.shown.size(), 2u);
    const platform::Message& asked = rig.dialogs.shown.back();
    QCOMPARE(asked.text, "Really print ALL the records?");
    QCOMPARE(asked.buttons, platform::Buttons::YesNo);
    QCOMPARE(asked.icon, Icon::Information);
    QCOMPARE(asked.title, "Tavelin");
    QString expected;
    for (int row = 0; row < 3; ++row) expected += output::recordPrintText(rig.view, row) + "\r\n";
    QCOMPARE(printer.jobs, QStringList({current, expected}));
    QCOMPARE(printer.printed.size(), 4u);  // one print statement a record
    QCOMPARE(rig.view.listFocused, 4);
  }

  // Refused while adding or editing; a job the printer could not take is named in one message,
  // not dropped in silence.
  void refusedOrFailed() {
    platform::FakePrinter printer;
    Rig rig(printer);
    rig.view.cancelShown = true;
    rig.printing.mnuCurrent_Click();
    rig.printing.mnuAll_Click();
    QCOMPARE(rig.dialogs.texts(), QStringList(2, "Cannot print in ADD or EDIT mode."));
    QCOMPARE(rig.dialogs.shown.front().icon, Icon::Critical);
    QVERIFY(printer.printed.empty() && printer.jobs.isEmpty());
    QCOMPARE(rig.view.listFocused, 2);

    rig.view.cancelShown = false;
    rig.dialogs.clear();
    printer.failWith = "the file \"/x/out.pdf\" cannot be written";
    rig.dialogs.answers = {Button::Yes};
    rig.printing.mnuAll_Click();
    QCOMPARE(rig.dialogs.texts(),
             QStringList({"Really print ALL the records?",
                          "Printing failed: the file \"/x/out.pdf\" cannot be written."}));
    QCOMPARE(rig.dialogs.shown.back().icon, Icon::Critical);
    QVERIFY(!rig.view.busy);
    rig.printing.mnuCurrent_Click();
    QCOMPARE(rig.dialogs.shown.size(), 3u);
  }

  // On paper (a PDF here): the labelled lines of each record in list order, values in one
  // column whatever the font, and the two empty lines after each.
  void toPdf() {
    test::TestEnvironment env;
    platform::FakeSettingsStore settings;
    const QString pdf = settings.values["Platform/Printer"] = env.workPath("records.pdf");
    platform::QtPrinter printer(settings);
    printer.setFont(platform::PrinterFont{"DejaVu Sans", 12, true, true});
    Rig rig(printer);
    rig.view.row = 2;
    rig.printing.mnuCurrent_Click();
    QCOMPARE(simplified(test::pdfLines(pdf)), simplified(printedLines(2)));

    rig.dialogs.answers = {Button::Yes};
    rig.printing.mnuAll_Click();
    QCOMPARE(rig.dialogs.shown.size(), 1u);  // the question, no failure
    const QStringList pages = test::pdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    const QStringList lines = pages[0].split('\n');
    QStringList expected;
    for (int r = 0; r < 3; ++r) expected << printedLines(r);
    QCOMPARE(simplified(lines), simplified(expected));
    const qsizetype column = lines[0].indexOf("Ann Able");
    QVERIFY(column >= 11);
    for (int i = 0; i < 3 * 16; ++i) {
      if (i % 16 < kFieldCount && !value(i / 16, i % 16).isEmpty())
        QCOMPARE(lines[i].indexOf(value(i / 16, i % 16)), column);
    }
  }
};

QTEST_MAIN(PrintingTest)
#include "test_printing.moc"
