#include "record_store/field_reader.h"

namespace tavelin {
namespace {

// The first of c at or after from, or the end. Fields are short: a plain loop beats memchr.
qsizetype find(QByteArrayView line, char c, qsizetype from) {
  const char* p = line.data();
  const qsizetype size = line.size();
  while (from < size && p[from] != c) ++from;
  return from;
}

}  // namespace

QByteArrayView FieldReader::readField() {
  if (atEnd()) return {};
  const QByteArrayView line = lines_[line_];
  lastLine_ = line;
  const qsizetype size = line.size();
  qsizetype i = pos_;
  while (i < size && line[i] == ' ') ++i;

  QByteArrayView value;
  if (i < size && line[i] == '"') {
    const qsizetype close = find(line, '"', i + 1);
    value = line.sliced(i + 1, close - i - 1);
    i = close < size ? find(line, ',', close + 1) : size;
  } else {
    const qsizetype comma = find(line, ',', i);
    value = line.sliced(i, comma - i);
    i = comma;
  }

  if (i < size) {
    pos_ = i + 1;  // past the comma
  } else {
    ++line_;  // the line end ends the field
    pos_ = 0;
  }
  return value;
}

std::vector<QByteArrayView> FieldReader::remainingLines() const {
  std::vector<QByteArrayView> rest;
  if (atEnd()) return rest;
  rest.push_back(lines_[line_].sliced(pos_));
  rest.insert(rest.end(), lines_.begin() + static_cast<qsizetype>(line_) + 1, lines_.end());
  return rest;
}

}  // namespace tavelin
