#include "platform/qt/qt_printer.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/settings_store.h"

namespace tavelin::platform {
namespace {

bool isPdfPath(const QString& setting) {
  return setting.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

QFont toQFont(const PrinterFont& f) {
  QFont font(f.name);
  font.setPointSizeF(f.size > 0 ? f.size : 10);
  font.setBold(f.bold);
  font.setItalic(f.italic);
  return font;
}

// Lays the lines of a job out on the pages: every line one line height below the last, a
// tab to the next column after the ten-character labels, a new page when one is full.
class PageWriter {
 public:
  PageWriter(QPainter& painter, QPrinter& printer)
      : painter_(painter), printer_(printer), metrics_(painter.font(), &printer) {
    // Ten digits and a blank are wider than any ten-character label in common fonts, so every
    // value starts in the same column.
    column_ = metrics_.horizontalAdvance(QString(10, QLatin1Char('0'))) +
              metrics_.horizontalAdvance(QLatin1Char(' '));
  }

  void writeLine(const QString& line) {
    if (y_ > 0 && y_ + metrics_.height() > printer_.height()) {
      printer_.newPage();
      y_ = 0;
    }
    qreal x = 0;
    const QStringList pieces = line.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
      if (i > 0) x = (std::floor(x / column_) + 1) * column_;
      if (!pieces[i].isEmpty()) painter_.drawText(QPointF(x, y_ + metrics_.ascent()), pieces[i]);
      x += metrics_.horizontalAdvance(pieces[i]);
    }
    y_ += metrics_.lineSpacing();
  }

 private:
  QPainter& painter_;
  QPrinter& printer_;
  QFontMetricsF metrics_;
  qreal column_ = 0;
  qreal y_ = 0;
};

// The font dialog offers no effects: the printer font has none.
void hideEffects(QFontDialog& dialog) {
  for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
    if (!group->findChildren<QCheckBox*>().isEmpty()) group->hide();
  }
}

}  // namespace

QtPrinter::QtPrinter(const SettingsStore& settings) : settings_(settings) {}

QtPrinter::~QtPrinter() = default;

void QtPrinter::print(const QString& text) {
  pending_ += text;
}

PrinterFont QtPrinter::font() const {
  if (!font_) {
    const QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font_ = PrinterFont{system.family(), 10, false, false};
  }
  return *font_;
}

bool QtPrinter::applySetting(QString* error) {
  const QString setting = settings_.value(QStringLiteral("Platform"), QStringLiteral("Printer"));
  if (isPdfPath(setting)) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(setting);
    return true;
  }
  const QString name = setting.isEmpty() ? QPrinterInfo::defaultPrinterName() : setting;
  if (name.isEmpty()) {
    if (error) *error = QStringLiteral("no printer is set up");
    return false;
  }
  if (!QPrinterInfo::availablePrinterNames().contains(name)) {
    if (error) *error = QStringLiteral("the printer \"%1\" is not available").arg(name);
    return false;
  }
  printer_->setOutputFileName(QString());
  printer_->setOutputFormat(QPrinter::NativeFormat);
  printer_->setPrinterName(name);
  return true;
}

QPrinter& QtPrinter::qprinter() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

bool QtPrinter::endDoc(QString* error) {
  const QString text = std::exchange(pending_, QString());
  if (text.isEmpty()) return true;
  qprinter();
  if (!chosen_ && !applySetting(error)) return false;

  QPainter painter;
  if (!painter.begin(printer_.get())) {
    if (error) {
      *error = printer_->outputFormat() == QPrinter::PdfFormat
                   ? QStringLiteral("the file \"%1\" cannot be written")
                         .arg(QFileInfo(printer_->outputFileName()).absoluteFilePath())
                   : QStringLiteral("the printer \"%1\" does not accept the job")
                         .arg(printer_->printerName());
    }
    return false;
  }
  painter.setFont(toQFont(font()));
  PageWriter pages(painter, *printer_);
  QString lines = text;
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"))
      .replace(QLatin1Char('\r'), QLatin1Char('\n'));
  // A closing line end ends the last line; it starts no line of its own.
  if (lines.endsWith(QLatin1Char('\n'))) lines.chop(1);
  for (const QString& line : lines.split(QLatin1Char('\n'))) pages.writeLine(line);
  if (!painter.end() || printer_->printerState() == QPrinter::Error) {
    if (error) *error = QStringLiteral("the printer \"%1\" failed").arg(printer_->printerName());
    return false;
  }
  return true;
}

bool QtPrinter::chooseFont() {
  QFontDialog dialog(toQFont(font()));
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  dialog.setWindowTitle(QStringLiteral("Font"));
  hideEffects(dialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QFont chosen = dialog.selectedFont();
  PrinterFont f = font();
  f.name = chosen.family();
  f.size = chosen.pointSizeF();
  f.italic = chosen.italic();
  f.bold = chosen.bold();
  font_ = f;
  return true;
}

bool QtPrinter::choosePrinter() {
  qprinter();
  if (!chosen_) applySetting(nullptr);
  QPrintDialog dialog(printer_.get());
  // Page range and print to file are not offered; the copies are the driver's business.
  dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize |
                    QAbstractPrintDialog::PrintCollateCopies);
  if (dialog.exec() != QDialog::Accepted) return false;
  chosen_ = true;
  return true;
}

}  // namespace tavelin::platform
