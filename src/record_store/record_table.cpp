#include "record_store/record_table.h"

#include <algorithm>

namespace tavelin {

QStringView RecordTable::stored(int row, int field) const {
  if (row < 0 || row >= rowCount() || field < 0 || field >= kFieldCount) return {};
  const Row& r = rows_[static_cast<size_t>(row)];
  return QStringView(text_).sliced(r.begin + r.start[field], r.start[field + 1] - r.start[field]);
}

QString RecordTable::slot(int row, int field) const {
  QString s = stored(row, field).toString();
  return s.leftJustified(kFieldWidth, QLatin1Char(' '));
}

QString RecordTable::BuildRecordLine(int row) const {
  LineWriter out;
  writeRecordLine(out, row);
  return QString::fromUtf8(out.take().chopped(2));
}

void RecordTable::writeRecordLine(LineWriter& out, int row) const {
  static const Row kNoRow{};  // a row out of range writes as a record of empty fields
  const Row& r = row >= 0 && row < rowCount() ? rows_[static_cast<size_t>(row)] : kNoRow;
  const QStringView text = rowText(r);
  // Most records are plain ASCII: then each character is one byte, copied without the
  // encoder; the check is one pass over the record's text.
  const bool ascii = QtPrivate::isAscii(text);
  std::array<QStringView, kFieldCount> values;
  qsizetype size = 4 * kFieldCount;
  for (int k = 0; k < kFieldCount; ++k) {
    values[k] = trimBlanks(text.sliced(r.start[k], r.start[k + 1] - r.start[k]));
    size += (ascii ? 1 : 3) * values[k].size();  // a UTF-16 unit never takes more than three
  }
  char* p = out.room(size);
  for (int k = 0; k < kFieldCount; ++k) {
    if (k > 0) *p++ = ',';
    *p++ = '"';
    if (ascii) {
      const char16_t* c = values[k].utf16();
      for (qsizetype i = 0, n = values[k].size(); i < n; ++i) p[i] = static_cast<char>(c[i]);
      p += values[k].size();
    } else {
      p = out.encode(p, values[k]);
    }
    *p++ = '"';
  }
  *p++ = '\r';
  *p++ = '\n';
  out.done(p);
}

void RecordTable::reorder(const std::vector<quint32>& order, size_t keep) {
  std::vector<Row> rows;
  rows.reserve(keep);
  for (size_t i = 0; i < keep && i < order.size(); ++i) rows.push_back(rows_[order[i]]);
  rows_.swap(rows);
}

void RecordTable::beginRecord() {
  pendingFields_ = 0;
  pending_.begin = text_.size();
}

void RecordTable::addField(QStringView text) {
  if (pendingFields_ >= kFieldCount) return;
  QStringView kept = text.left(kFieldWidth);
  while (!kept.isEmpty() && kept.back() == u' ') kept.chop(1);
  pending_.start[pendingFields_++] = static_cast<quint16>(text_.size() - pending_.begin);
  text_.append(kept);
}

void RecordTable::endRecord() {
  while (pendingFields_ < kFieldCount) addField({});
  pending_.start[kFieldCount] = static_cast<quint16>(text_.size() - pending_.begin);
  rows_.push_back(pending_);
}

}  // namespace tavelin
