#include "support/pdf_text.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace tavelin::test {

QStringList pdfPages(const QString& pdf) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  if (!p.waitForFinished() || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    qWarning("pdftotext failed on %s: %s", qPrintable(pdf), p.readAllStandardError().constData());
    return {};
  }
  // Compatibility decomposition turns the ligatures the PDF holds ("\uFB01") back into letters.
  QStringList pages = QString::fromUtf8(p.readAllStandardOutput())
                          .normalized(QString::NormalizationForm_KC)
                          .split(QLatin1Char('\f'));
  if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
  return pages;
}

QStringList nonEmptyLines(const QString& text) {
  QStringList out;
  for (QString line : text.split(QLatin1Char('\n'))) {
    line.remove(QRegularExpression(QStringLiteral("\\s+$")));
    if (!line.isEmpty()) out << line;
  }
  return out;
}

QStringList pdfLines(const QString& pdf) {
  QStringList out;
  for (const QString& page : pdfPages(pdf)) out << nonEmptyLines(page);
  return out;
}

}  // namespace tavelin::test
