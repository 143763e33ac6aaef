#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDialog>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "platform/fake/fake_platform.h"
#include "platform/qt/qt_printer.h"
#include "support/pdf_text.h"
#include "support/test_env.h"

using namespace tavelin;
using platform::PrinterFont;

class QtPrinterTest : public QObject {
  Q_OBJECT

 private:
  // Points the setting at a PDF in the working folder.
  QString toPdf(const QString& name) {
    return settings_.values["Platform/Printer"] = env_.workPath(name);
  }
  test::TestEnvironment env_;
  platform::FakeSettingsStore settings_;
  QString error_;

 private Q_SLOTS:
  // Text accumulates until endDoc; each job replaces the file; an empty job writes nothing. A job
  // that cannot be sent says why, naming the file or printer, and is not kept.
  void jobsAndFailures() {
    const QString pdf = toPdf("jobs.pdf");
    platform::QtPrinter printer(settings_);
    printer.print("first line\r\nsecond ");
    printer.print("line continued\r\n");
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(printer.endDoc(&error_));
    QCOMPARE(test::pdfLines(pdf), QStringList({"first line", "second line continued"}));
    printer.print("another job\n");
    QVERIFY(printer.endDoc(&error_));
    QCOMPARE(test::pdfLines(pdf), QStringList({"another job"}));
    QFile::remove(pdf);
    QVERIFY(printer.endDoc(&error_));
    QVERIFY(!QFile::exists(pdf));

    const QString unwritable = toPdf("no such folder/out.pdf");
    printer.print("lost\r\n");
    QVERIFY(!printer.endDoc(&error_));
    QVERIFY2(error_.contains(unwritable), qPrintable(error_));
    settings_.values["Platform/Printer"] = "Tavelin_No_Such_Printer";
    printer.print("lost too\r\n");
    QVERIFY(!printer.endDoc(&error_));
    QVERIFY2(error_.contains("\"Tavelin_No_Such_Printer\""), qPrintable(error_));
    if (QPrinterInfo::defaultPrinterName().isEmpty()) {
      settings_.values["Platform/Printer"] = QString();
      printer.print("no printer\r\n");
      QVERIFY(!printer.endDoc(&error_));
      QCOMPARE(error_, "no printer is set up");
    }
    const QString after = toPdf("after.pdf");
    printer.print("kept\r\n");
    QVERIFY(printer.endDoc(&error_));
    QCOMPARE(test::pdfLines(after), QStringList({"kept"}));
  }

  // The font set is the font on paper (the PDF names it); values in one column are checked with
  // the records' printing.
  void printsInTheChosenFont() {
    const QString pdf = toPdf("font.pdf");
    platform::QtPrinter printer(settings_);
    QVERIFY(!printer.font().name.isEmpty());
    QCOMPARE(printer.font().size, 10.0);
    printer.setFont(PrinterFont{"DejaVu Sans", 12, true, true});
    printer.print("bold italic\r\n");
    QVERIFY2(printer.endDoc(&error_), qPrintable(error_));
    QProcess fonts;
    fonts.start("pdffonts", {pdf});
    QVERIFY(fonts.waitForFinished());
    const QString listed = QString::fromUtf8(fonts.readAllStandardOutput());
    QVERIFY2(listed.contains("DejaVuSans-BoldOblique"), qPrintable(listed));
  }

  void fullPageContinuesOnTheNext() {
    const QString pdf = toPdf("pages.pdf");
    platform::QtPrinter printer(settings_);
    printer.setFont(PrinterFont{"DejaVu Sans", 10, false, false});
    QStringList expected;
    for (int i = 1; i <= 150; ++i)
      printer.print((expected << QString("line %1").arg(i)).back() + "\r\n");
    QVERIFY(printer.endDoc(&error_));
    const QStringList pages = test::pdfPages(pdf);
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
    QStringList all;
    for (const QString& page : pages) {
      const QStringList lines = test::nonEmptyLines(page);
      if (all.size() + lines.size() < expected.size()) QVERIFY(lines.size() > 40);  // filled pages
      all << lines;
    }
    QCOMPARE(all, expected);
  }

  // The dialog opens on the printer font, shows no effects, and OK sets name, size, bold and
  // italic; Cancel changes nothing.
  void fontDialog() {
    platform::QtPrinter printer(settings_);
    const PrinterFont start{"DejaVu Sans", 11, false, false};
    printer.setFont(start);
    QFont preset;
    bool effectsShown = true;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      preset = dialog->currentFont();
      effectsShown = false;
      for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) effectsShown |= box->isVisible();
      QFont next("DejaVu Sans Mono");
      next.setPointSize(14);
      next.setBold(true);
      dialog->setCurrentFont(next);
      dialog->accept();
    });
    QVERIFY(printer.chooseFont());
    QCOMPARE(preset.family(), start.name);
    QCOMPARE(preset.pointSizeF(), start.size);
    QVERIFY(!effectsShown);
    const PrinterFont chosen{"DejaVu Sans Mono", 14, true, false};
    QCOMPARE(printer.font(), chosen);
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    QVERIFY(!printer.chooseFont());
    QCOMPARE(printer.font(), chosen);
  }

  // Without page range and print to file; Cancel keeps the printer of the setting.
  void printerDialogCancelled() {
    const QString pdf = toPdf("still.pdf");
    platform::QtPrinter printer(settings_);
    QAbstractPrintDialog::PrintDialogOptions options;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      options = dialog->options();
      dialog->reject();
    });
    QVERIFY(!printer.choosePrinter());
    for (const auto option :
         {QAbstractPrintDialog::PrintToFile, QAbstractPrintDialog::PrintPageRange,
          QAbstractPrintDialog::PrintSelection}) {
      QVERIFY(!options.testFlag(option));
    }
    printer.print("still the setting's\r\n");
    QVERIFY(printer.endDoc(&error_));
    QCOMPARE(test::pdfLines(pdf), QStringList({"still the setting's"}));
  }
};

QTEST_MAIN(QtPrinterTest)
#include "test_qt_printer.moc"
