#include "exchange/csv_writer.h"

#include <QStringList>

#include "exchange/csv_columns.h"

namespace tavelin::exchange {
namespace {

void appendCell(QByteArray& out, QStringView text) {
  const QByteArray bytes = text.toUtf8();
  const bool quote = bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
                     bytes.contains('\r') || bytes.startsWith(' ') || bytes.endsWith(' ');
  if (!quote) {
    out += bytes;
    return;
  }
  out += '"';
  for (char c : bytes) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void CsvWriter::writeHeader(QByteArray& out) {
  const QStringList headings = googleHeadings();
  for (qsizetype i = 0; i < headings.size(); ++i) {
    if (i > 0) out += ',';
    appendCell(out, headings[i]);
  }
  out += "\r\n";
}

void CsvWriter::write(QByteArray& out, const FieldViews& f) {
  if (hasNoWord(f)) return;
  // The family name is the last word; a name whose words are not one blank apart goes
  // whole into the first name, so that joining the parts again gives it back.
  const QStringView name = f[kFullName];
  qsizetype space = name.lastIndexOf(u' ');
  if (name.contains(u"  ")) space = name.size();
  const QStringView given = space > 0 ? name.first(space) : QStringView();
  const QStringView family = space < name.size() ? name.sliced(space + 1) : QStringView();

  QString notes;
  int last = kNotes2 + kNoteLines - 1;
  while (last >= kNotes2 && f[last].isEmpty()) --last;
  for (int k = kNotes2; k <= last; ++k) {
    if (k > kNotes2) notes += QLatin1Char('\n');
    notes += f[k];
  }
  QString formatted;
  for (int k = kAddress1; k < kAddress1 + kAddressLines; ++k) {
    if (f[k].isEmpty()) continue;
    if (!formatted.isEmpty()) formatted += QLatin1Char('\n');
    formatted += f[k];
  }

  // In the order of googleHeadings().
  const QStringView cells[] = {given,        {},
                               family,       {},
                               {},           {},
                               {},           {},
                               {},           {},
                               notes,        {},
                               {},           f[kEmail],
                               {},           f[kPhone1],
                               {},           f[kPhone1 + 1],
                               {},           f[kPhone1 + 2],
                               {},           f[kPhone1 + 3],
                               {},           formatted,
                               f[kAddress1], f[kAddress1 + 1],
                               {},           {},
                               {},           f[kAddress1 + 2],
                               {},           {},
                               f[kWeb]};
  static_assert(std::size(cells) == 33);
  bool firstCell = true;
  for (QStringView cell : cells) {
    if (!firstCell) out += ',';
    firstCell = false;
    appendCell(out, cell);
  }
  out += "\r\n";
}

QByteArray writeCsv(const std::vector<FieldTexts>& records) {
  QByteArray out;
  CsvWriter writer;
  writer.writeHeader(out);
  for (const FieldTexts& record : records) writer.write(out, viewsOf(record));
  return out;
}

}  // namespace tavelin::exchange
