#include "record_store/line_reader.h"

namespace tavelin {
namespace {

qsizetype find(QByteArrayView line, char c, qsizetype from) {
  const char* p = line.data();
  const qsizetype size = line.size();
  while (from < size && p[from] != c) ++from;
  return from;
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
  bool blank = true;
  for (qsizetype i = 0; i < size; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c != ' ') blank = false;
    if (c < 0x20 && c != '\t') read.control = true;
  }
  if (blank) {
    read.kind = LineKind::Blank;
    return read;
  }
  if (read.control) return read;

  int count = 0;
  qsizetype pos = 0;
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
      while (end < size && line[end] == ' ') ++end;
      if (end < size && line[end] != ',') return read;  // words after the closing quote
    } else {
      end = find(line, ',', start);
      value = line.sliced(start, end - start);
      if (value.contains('"')) return read;  // a quote the writer could not write back
    }
    const qsizetype widthEnd = fieldWidthEnd(value, utf8);
    if (widthEnd < value.size() && !isBlank(value.sliced(widthEnd))) read.cut = true;
    read.fields[static_cast<size_t>(count++)] = value;
    if (end == size) break;
    pos = end + 1;  // past the comma
  }
  if (count != kFieldCount) return read;
  read.kind = LineKind::Record;
  return read;
}

}  // namespace tavelin
