#pragma once

#include <QByteArrayView>
#include <vector>

namespace tavelin {

// Reads comma-separated fields from the raw lines of a data file, counting fields across
// lines. Quotes, commas and blanks are single bytes in UTF-8 and Windows-1252 alike, so the
// fields are found before anything is decoded:
// - blanks before a field are skipped;
// - a field that begins with a double quote runs to the next double quote (or, when the
//   quote is never closed, to the line end) and anything after it up to the next comma or
//   line end is skipped;
// - any other field runs to the next comma or line end;
// - a comma or a line end ends a field, so an empty line gives one empty field.
class FieldReader {
 public:
  explicit FieldReader(const std::vector<QByteArrayView>& lines) : lines_(lines) {}

  // The next field; empty once the lines are used up.
  QByteArrayView readField();
  bool atEnd() const { return line_ >= lines_.size(); }
  // The line that the field last read came from.
  QByteArrayView lastLine() const { return lastLine_; }

  // What has not been read yet, as lines: the rest of the current line, then the others.
  std::vector<QByteArrayView> remainingLines() const;

 private:
  const std::vector<QByteArrayView>& lines_;
  size_t line_ = 0;
  qsizetype pos_ = 0;
  QByteArrayView lastLine_;
};

}  // namespace tavelin
