#pragma once

#include <QStringView>
#include <vector>

namespace tavelin {

// Reads comma-separated fields from a run of lines, counting fields across lines:
// - blanks before a field are skipped;
// - a field that begins with a double quote runs to the next double quote (or, when the
//   quote is never closed, to the line end) and anything after it up to the next comma or
//   line end is skipped;
// - any other field runs to the next comma or line end;
// - a comma or a line end ends a field, so an empty line gives one empty field.
class FieldReader {
 public:
  explicit FieldReader(const std::vector<QStringView>& lines) : lines_(lines) {}

  // The next field; empty once the lines are used up.
  QStringView readField();
  bool atEnd() const { return line_ >= lines_.size(); }

  // What has not been read yet, as lines: the rest of the current line, then the others.
  std::vector<QStringView> remainingLines() const;

 private:
  const std::vector<QStringView>& lines_;
  size_t line_ = 0;
  qsizetype pos_ = 0;
};

}  // namespace tavelin
