#include "record_store/line_reader.h"

#include <bit>
#include <cstring>

namespace tavelin {
namespace {

// The next c at or after `from`, or the size. Values are short: eight bytes at a time in
// place costs less than a call to memchr for each.
qsizetype find(QByteArrayView line, char c, qsizetype from) {
  const qsizetype size = line.size();
  const char* p = line.data();
  constexpr quint64 kOnes = 0x0101010101010101ull;
  const quint64 pattern = kOnes * static_cast<unsigned char>(c);
  qsizetype i = from;
  for (; i + 8 <= size; i += 8) {
    quint64 w;
    std::memcpy(&w, p + i, 8);
    w ^= pattern;  // a zero byte where c is
    // The lowest flagged byte is the first zero byte: a false flag only follows a true one.
    const quint64 zero = (w - kOnes) & ~w & (kOnes << 7);
    if (zero != 0) return i + std::countr_zero(zero) / 8;
  }
  for (; i < size; ++i) {
    if (p[i] == c) return i;
  }
  return size;
}

// Whether a byte below the blank other than the tab occurs, and else whether every byte is
// ASCII. Eight bytes at a time: a word without any byte below 0x20 (the usual case) needs
// no closer look.
bool scanBytes(QByteArrayView line, bool& ascii) {
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const qsizetype size = line.size();
  quint64 high = 0;
  qsizetype i = 0;
  for (; i + 8 <= size; i += 8) {
    quint64 w;
    std::memcpy(&w, p + i, 8);
    high |= w;
    // The high bit of a byte is set where the byte is below 0x20 (exact for "any").
    if (((w - 0x2020202020202020ull) & ~w & 0x8080808080808080ull) == 0) continue;
    for (int k = 0; k < 8; ++k) {
      if (p[i + k] < 0x20 && p[i + k] != '\t') return true;
    }
  }
  for (; i < size; ++i) {
    high |= p[i];
    if (p[i] < 0x20 && p[i] != '\t') return true;
  }
  ascii = (high & 0x8080808080808080ull) == 0;
  return false;
}

bool isBlank(QByteArrayView text) {
  for (char c : text) {
    if (c != ' ') return false;
  }
  return true;
}

// The byte where the first character starts that no longer fits a slot of 80 UTF-16 units,
// or the size when all fit. A character past U+FFFF takes two units (and four bytes).
qsizetype fieldWidthEnd(QByteArrayView value, bool utf8) {
  if (value.size() <= kFieldWidth) return value.size();
  if (!utf8) return kFieldWidth;
  int units = 0;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if ((c & 0xC0) == 0x80) continue;  // continuation
    units += c >= 0xF0 ? 2 : 1;
    if (units > kFieldWidth) return i;
  }
  return value.size();
}

}  // namespace

ReadLine readLine(QByteArrayView line, bool utf8) {
  ReadLine read;
  const qsizetype size = line.size();
  if (isBlank(line)) {
    read.kind = LineKind::Blank;
    return read;
  }
  read.control = scanBytes(line, read.ascii);
  if (read.control) return read;

  int count = 0;
  qsizetype pos = 0;
  bool canonical = true;
  for (;;) {
    if (count == kFieldCount) return read;  // more than fourteen fields
    qsizetype start = pos;
    while (start < size && line[start] == ' ') ++start;
    QByteArrayView value;
    qsizetype end;
    if (start < size && line[start] == '"') {
      const qsizetype close = find(line, '"', start + 1);
      if (close == size) return read;  // the quote is never closed
      value = line.sliced(start + 1, close - start - 1);
      end = close + 1;
      canonical = canonical && start == pos && (end == size || line[end] == ',') &&
                  (value.isEmpty() || (value.front() != ' ' && value.back() != ' '));
      while (end < size && line[end] == ' ') ++end;
      if (end < size && line[end] != ',') return read;  // words after the closing quote
    } else {
      canonical = false;
      end = find(line, ',', start);
      value = line.sliced(start, end - start);
      if (find(value, '"', 0) < value.size())
        return read;  // a quote the writer could not write back
    }
    const qsizetype widthEnd = fieldWidthEnd(value, utf8);
    if (widthEnd < value.size() && !isBlank(value.sliced(widthEnd))) read.cut = true;
    read.fields[static_cast<size_t>(count++)] = value;
    if (end == size) break;
    pos = end + 1;  // past the comma
  }
  read.kind = LineKind::Record;
  read.count = count;
  read.canonical = canonical && count == kFieldCount && !read.cut;
  return read;
}

}  // namespace tavelin
