#include "record_store/field_reader.h"

namespace tavelin {

QStringView FieldReader::readField() {
  if (atEnd()) return {};
  const QStringView line = lines_[line_];
  const qsizetype size = line.size();
  qsizetype i = pos_;
  while (i < size && line[i] == u' ') ++i;

  QStringView value;
  if (i < size && line[i] == u'"') {
    const qsizetype begin = i + 1;
    qsizetype close = begin;
    while (close < size && line[close] != u'"') ++close;
    value = line.sliced(begin, close - begin);
    i = close < size ? close + 1 : size;
    while (i < size && line[i] != u',') ++i;
  } else {
    const qsizetype begin = i;
    while (i < size && line[i] != u',') ++i;
    value = line.sliced(begin, i - begin);
  }

  if (i < size) {
    pos_ = i + 1;  // past the comma
  } else {
    ++line_;  // the line end ends the field
    pos_ = 0;
  }
  return value;
}

std::vector<QStringView> FieldReader::remainingLines() const {
  std::vector<QStringView> rest;
  if (atEnd()) return rest;
  rest.push_back(lines_[line_].sliced(pos_));
  rest.insert(rest.end(), lines_.begin() + static_cast<qsizetype>(line_) + 1, lines_.end());
  return rest;
}

}  // namespace tavelin
