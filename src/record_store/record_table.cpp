#include "record_store/record_table.h"

#include <algorithm>

namespace tavelin {

QStringView RecordTable::stored(int row, int field) const {
  if (row < 0 || row >= rowCount() || field < 0 || field >= kFieldCount) return {};
  const Row& r = rows_[static_cast<size_t>(row)];
  return QStringView(r.text).sliced(r.start[field], r.start[field + 1] - r.start[field]);
}

QString RecordTable::slot(int row, int field) const {
  QString s = stored(row, field).toString();
  return s.leftJustified(kFieldWidth, QLatin1Char(' '));
}

QString RecordTable::recordLine(int row) const {
  std::array<QStringView, kFieldCount> values;
  for (int k = 0; k < kFieldCount; ++k) values[k] = value(row, k);
  return quoteAndJoin(values);
}

void RecordTable::writeRecordLine(LineWriter& out, int row, QString& scratch) const {
  // Built in UTF-16 first: one encoding call a line rather than one a field.
  scratch.resize(0);
  for (int k = 0; k < kFieldCount; ++k) {
    scratch += k == 0 ? QLatin1String("\"") : QLatin1String("\",\"");
    scratch += value(row, k);
  }
  scratch += QLatin1Char('"');
  out.appendLine(scratch);
}

void RecordTable::append(const std::array<QStringView, kFieldCount>& fields) {
  Row row;
  std::array<QStringView, kFieldCount> kept;
  qsizetype total = 0;
  for (int k = 0; k < kFieldCount; ++k) {
    QStringView f = fields[k].left(kFieldWidth);
    while (!f.isEmpty() && f.back() == u' ') f.chop(1);
    kept[k] = f;
    total += f.size();
  }
  row.text = QString(total, Qt::Uninitialized);
  QChar* out = row.text.data();
  qsizetype at = 0;
  for (int k = 0; k < kFieldCount; ++k) {
    row.start[k] = static_cast<quint16>(at);
    std::copy(kept[k].begin(), kept[k].end(), out + at);
    at += kept[k].size();
  }
  row.start[kFieldCount] = static_cast<quint16>(at);
  rows_.push_back(std::move(row));
}

}  // namespace tavelin
