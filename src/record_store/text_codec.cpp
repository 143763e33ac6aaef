#include "record_store/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tavelin {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five holes map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar* decodeCp1252(QByteArrayView bytes, QChar* dst) {
  for (char c : bytes) *dst++ = QChar(cp1252ToUnicode(static_cast<unsigned char>(c)));
  return dst;
}

QString decodeCp1252(QByteArrayView bytes) {
  QString out(bytes.size(), Qt::Uninitialized);
  decodeCp1252(bytes, out.data());
  return out;
}

}  // namespace

char16_t cp1252ToUnicode(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b);
}

bool isValidUtf8(QByteArrayView bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    // Plain ASCII eight bytes at a time.
    if (end - p >= 8) {
      quint64 word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080ull) == 0) {
        p += 8;
        continue;
      }
    }
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int length;
    char32_t min;
    char32_t cp;
    if ((c & 0xE0) == 0xC0) {
      length = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4, min = 0x10000, cp = c & 0x07;
    } else {
      return false;
    }
    if (end - p < length) return false;
    for (int i = 1; i < length; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    p += length;
  }
  return true;
}

QStringView LineDecoder::decode(QByteArrayView line) {
  // Never more characters than bytes, in either encoding.
  if (buffer_.size() < line.size()) buffer_.resize(std::max(line.size(), 2 * buffer_.size()));
  QChar* begin = buffer_.data();
  QChar* end = utf8_ ? decoder_.appendToBuffer(begin, line) : decodeCp1252(line, begin);
  line_ = {};
  return QStringView(begin, end - begin);
}

QStringView LineDecoder::field(QByteArrayView field, QByteArrayView line, qsizetype maxBytes) {
  if (line.data() != line_.data() || line.size() != line_.size()) {
    const qsizetype chars = decode(line).size();
    line_ = line;
    lineIsAscii_ = chars == line.size() || !utf8_;
  }
  const qsizetype bytes = std::min(field.size(), maxBytes);
  if (bytes == 0) return {};
  // The field lies inside the line: its place there is an index into the decoded line.
  const qsizetype offset = field.data() - line.data();
  if (lineIsAscii_) return QStringView(buffer_.constData() + offset, bytes);
  // Characters of several bytes: this field on its own.
  if (fieldBuffer_.size() < bytes) fieldBuffer_.resize(bytes);
  QChar* begin = fieldBuffer_.data();
  return QStringView(begin, decoder_.appendToBuffer(begin, field.first(bytes)) - begin);
}

QString decodeText(QByteArrayView bytes) {
  if (isValidUtf8(bytes)) return QString::fromUtf8(bytes);
  return decodeCp1252(bytes);
}

std::vector<QStringView> splitLines(QStringView text) {
  std::vector<QStringView> lines;
  const qsizetype size = text.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = text[i].unicode();
    if (c > u'\r' || (c != u'\r' && c != u'\n')) continue;
    lines.push_back(text.sliced(start, i - start));
    if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < size) lines.push_back(text.sliced(start));
  return lines;
}

std::vector<QByteArrayView> splitLines(QByteArrayView bytes) {
  // Line ends are rare: memchr finds the next CR and the next LF, whichever comes first ends
  // the line. Positions are indices into the bytes, so nothing is read past their end.
  std::vector<QByteArrayView> lines;
  const qsizetype size = bytes.size();
  if (size == 0) return lines;
  const char* data = bytes.data();
  const auto next = [data, size](qsizetype from, char c) {
    if (from >= size) return size;
    const void* hit = std::memchr(data + from, c, static_cast<size_t>(size - from));
    return hit ? static_cast<qsizetype>(static_cast<const char*>(hit) - data) : size;
  };
  qsizetype cr = next(0, '\r');
  qsizetype lf = next(0, '\n');
  qsizetype start = 0;
  while (start < size) {
    const qsizetype stop = std::min(cr, lf);
    if (stop == size) {
      lines.push_back(bytes.sliced(start));
      break;
    }
    lines.push_back(bytes.sliced(start, stop - start));
    const bool crlf = stop == cr && stop + 1 < size && data[stop + 1] == '\n';
    start = stop + (crlf ? 2 : 1);
    if (cr < start) cr = next(start, '\r');
    if (lf < start) lf = next(start, '\n');
  }
  return lines;
}

void LineWriter::reserve(qsizetype bytes) {
  out_.reserve(static_cast<size_t>(bytes), static_cast<size_t>(used_));
}

char* LineWriter::room(qsizetype maxBytes) {
  out_.grow(static_cast<size_t>(used_ + maxBytes), static_cast<size_t>(used_));
  return out_.data() + used_;
}

namespace {

// ASCII characters as their bytes, sixteen at a time where it can.
char* narrow(char* out, const char16_t* in, qsizetype n) {
  qsizetype i = 0;
#ifdef __SSE2__
  for (; i + 16 <= n; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
    // Below 0x80 each unit fits its byte, unchanged by the saturation.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<char>(in[i]);
  return out + n;
}

}  // namespace

char* LineWriter::encode(char* out, QStringView text) {
  // Nearly every line is plain ASCII: told so in one pass, and narrowed in another.
  if (QtPrivate::isAscii(text)) return narrow(out, text.utf16(), text.size());
  // Otherwise the ASCII is copied until the encoder takes over at the first other character.
  const QChar* c = text.begin();
  for (; c != text.end() && c->unicode() < 0x80; ++c) *out++ = static_cast<char>(c->unicode());
  if (c != text.end()) out = encoder_.appendToBuffer(out, QStringView(c, text.end()));
  return out;
}

void LineWriter::append(QStringView text) {
  done(encode(room(3 * text.size() + 2), text));  // + 2 keeps room for a line end
}

void LineWriter::appendLine(QStringView line) {
  append(line);
  out_.data()[used_++] = '\r';  // append() left room for the line end
  out_.data()[used_++] = '\n';
}

void LineWriter::appendBytesLine(QByteArrayView line) {
  char* p = room(line.size() + 2);
  std::memcpy(p, line.data(), static_cast<size_t>(line.size()));
  p += line.size();
  *p++ = '\r';
  *p++ = '\n';
  done(p);
}

QByteArray LineWriter::take() {
  QByteArray bytes(out_.data(), used_);
  used_ = 0;
  return bytes;
}

}  // namespace tavelin
