#include "record_store/field_reader.h"

namespace tavelin {

QStringView FieldReader::readField() {
  if (!haveLine_) {
    // Taken only now, so that the field returned before stays valid until this call.
    if (!source_.hasMore()) return {};
    line_ = source_.next();
    pos_ = 0;
    haveLine_ = true;
  }
  const QStringView line = line_;
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
    haveLine_ = false;  // the line end ends the field
  }
  return value;
}

QStringList FieldReader::remainingLines() {
  QStringList rest;
  if (haveLine_) rest << line_.sliced(pos_).toString();
  haveLine_ = false;
  while (source_.hasMore()) rest << source_.next().toString();
  return rest;
}

}  // namespace tavelin
