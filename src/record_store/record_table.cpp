#include "record_store/record_table.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tavelin {
namespace {

// Plain copies between characters and bytes that cannot overlap, which the compiler does
// many at a time.
char* narrowAscii(char* __restrict out, const char16_t* __restrict in, qsizetype n) {
  for (qsizetype i = 0; i < n; ++i) out[i] = static_cast<char>(in[i]);
  return out + n;
}

void widenAscii(char16_t* __restrict out, const char* __restrict in, qsizetype n) {
  qsizetype i = 0;
#ifdef __SSE2__
  // Eight at a time: most values are short.
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<unsigned char>(in[i]);
}

}  // namespace

void RecordTable::reserve(int rows, qsizetype chars) {
  rows_.reserve(static_cast<size_t>(rows));
  // Pages never written are never touched.
  text_.reserve(static_cast<size_t>(chars), static_cast<size_t>(used_));
}

QStringView RecordTable::stored(int row, int field) const {
  if (row < 0 || row >= rowCount() || field < 0 || field >= kFieldCount) return {};
  const Row& r = rows_[static_cast<size_t>(row)];
  return QStringView(text_.data() + r.begin + r.start[field], r.start[field + 1] - r.start[field]);
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
      p = narrowAscii(p, values[k].utf16(), values[k].size());
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
  // In place, one cycle of the permutation at a time: no second set of rows is touched.
  const size_t n = std::min(order.size(), rows_.size());
  std::vector<bool> placed(n, false);
  for (size_t start = 0; start < n; ++start) {
    if (placed[start]) continue;
    const Row first = rows_[start];
    size_t at = start;
    for (;;) {
      placed[at] = true;
      const size_t from = order[at];
      if (from == start || from >= n) {
        rows_[at] = first;
        break;
      }
      rows_[at] = rows_[from];
      at = from;
    }
  }
  rows_.resize(std::min(keep, n));
}

void RecordTable::beginRecord() {
  pendingFields_ = 0;
  pending_.begin = used_;
}

void RecordTable::addField(QStringView text) {
  if (pendingFields_ >= kFieldCount) return;
  QStringView kept = text.left(kFieldWidth);
  // Never half a character: a cut between the two halves takes the first one too.
  if (kept.size() < text.size() && !kept.isEmpty() && kept.back().isHighSurrogate()) kept.chop(1);
  while (!kept.isEmpty() && kept.back() == u' ') kept.chop(1);
  pending_.start[pendingFields_++] = static_cast<quint16>(used_ - pending_.begin);
  std::copy_n(kept.utf16(), kept.size(), room(kept.size()));
  used_ += kept.size();
}

void RecordTable::addAsciiField(QByteArrayView bytes) {
  if (pendingFields_ >= kFieldCount) return;
  QByteArrayView kept = bytes.first(std::min<qsizetype>(bytes.size(), kFieldWidth));
  while (!kept.isEmpty() && kept.back() == ' ') kept.chop(1);
  pending_.start[pendingFields_++] = static_cast<quint16>(used_ - pending_.begin);
  widenAscii(room(kept.size()), kept.data(), kept.size());
  used_ += kept.size();
}

void RecordTable::endRecord(LineSpan line) {
  while (pendingFields_ < kFieldCount) addField({});
  pending_.start[kFieldCount] = static_cast<quint16>(used_ - pending_.begin);
  pending_.line = line;
  rows_.push_back(pending_);
}

}  // namespace tavelin
