#pragma once

#include <QStringList>
#include <QStringView>
#include <vector>

namespace tavelin {

// Where the field reader takes its lines from, one at a time.
class LineSource {
 public:
  virtual ~LineSource() = default;
  virtual bool hasMore() const = 0;
  // The next line; valid until the following call.
  virtual QStringView next() = 0;
};

// Lines already in memory.
class LineListSource final : public LineSource {
 public:
  explicit LineListSource(const std::vector<QStringView>& lines) : lines_(lines) {}
  bool hasMore() const override { return index_ < lines_.size(); }
  QStringView next() override { return lines_[index_++]; }

 private:
  const std::vector<QStringView>& lines_;
  size_t index_ = 0;
};

// Reads comma-separated fields from a run of lines, counting fields across lines:
// - blanks before a field are skipped;
// - a field that begins with a double quote runs to the next double quote (or, when the
//   quote is never closed, to the line end) and anything after it up to the next comma or
//   line end is skipped;
// - any other field runs to the next comma or line end;
// - a comma or a line end ends a field, so an empty line gives one empty field.
class FieldReader {
 public:
  explicit FieldReader(LineSource& source) : source_(source) {}

  // The next field, valid until the next call; empty once the lines are used up.
  QStringView readField();
  bool atEnd() const { return !haveLine_ && !source_.hasMore(); }

  // What has not been read yet, as lines: the rest of the current line, then the others.
  QStringList remainingLines();

 private:
  LineSource& source_;
  QStringView line_;
  qsizetype pos_ = 0;
  bool haveLine_ = false;  // a line is taken and not yet ended
};

}  // namespace tavelin
