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

QString RecordTable::BuildRecordLine(int row) const {
  LineWriter out;
  writeRecordLine(out, row);
  return QString::fromUtf8(out.take().chopped(2));
}

void RecordTable::writeRecordLine(LineWriter& out, int row) const {
  std::array<QStringView, kFieldCount> values;
  qsizetype size = 4 * kFieldCount;
  for (int k = 0; k < kFieldCount; ++k) {
    values[k] = value(row, k);
    size += 3 * values[k].size();  // a UTF-16 unit never takes more than three bytes
  }
  char* p = out.room(size);
  for (int k = 0; k < kFieldCount; ++k) {
    if (k > 0) *p++ = ',';
    *p++ = '"';
    p = out.encode(p, values[k]);
    *p++ = '"';
  }
  *p++ = '\r';
  *p++ = '\n';
  out.done(p);
}

void RecordTable::beginRecord() {
  pendingFields_ = 0;
  pendingSize_ = 0;
}

void RecordTable::addField(QStringView text) {
  if (pendingFields_ >= kFieldCount) return;
  QStringView kept = text.left(kFieldWidth);
  // Never half a character: a cut between the two halves takes the first one too.
  if (kept.size() < text.size() && !kept.isEmpty() && kept.back().isHighSurrogate()) kept.chop(1);
  while (!kept.isEmpty() && kept.back() == u' ') kept.chop(1);
  pendingStart_[pendingFields_++] = static_cast<quint16>(pendingSize_);
  std::copy(kept.begin(), kept.end(), pendingText_.begin() + pendingSize_);
  pendingSize_ += kept.size();
}

void RecordTable::endRecord() {
  while (pendingFields_ < kFieldCount) addField({});
  pendingStart_[kFieldCount] = static_cast<quint16>(pendingSize_);
  rows_.push_back({QString(pendingText_.data(), pendingSize_), pendingStart_});
}

}  // namespace tavelin
