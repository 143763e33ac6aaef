#include "record_store/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace tavelin {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five holes map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeCp1252(QByteArrayView bytes) {
  QString out(bytes.size(), Qt::Uninitialized);
  QChar* dst = out.data();
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    *dst++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
  }
  return out;
}

}  // namespace

QString decodeText(QByteArrayView bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return decodeCp1252(bytes);
}

std::vector<QStringView> splitLines(QStringView text) {
  std::vector<QStringView> lines;
  const QChar* data = text.data();
  const qsizetype size = text.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = data[i].unicode();
    if (c > u'\r' || (c != u'\r' && c != u'\n')) continue;
    lines.push_back(text.sliced(start, i - start));
    if (c == u'\r' && i + 1 < size && data[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < size) lines.push_back(text.sliced(start));
  return lines;
}

void LineWriter::append(QStringView text) {
  // Encodes straight into the buffer: no string and no resize per piece.
  const qsizetype need = used_ + encoder_.requiredSpace(text.size()) + 2;
  if (need > out_.size()) out_.resize(std::max(need, 2 * out_.size()));
  used_ = encoder_.appendToBuffer(out_.data() + used_, text) - out_.constData();
}

void LineWriter::appendLine(QStringView line) {
  append(line);
  out_.data()[used_++] = '\r';  // append() left room for the line end
  out_.data()[used_++] = '\n';
}

QByteArray LineWriter::take() {
  out_.truncate(used_);
  used_ = 0;
  return std::move(out_);
}

}  // namespace tavelin
