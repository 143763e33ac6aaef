#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <vector>

#include "record_store/page_buffer.h"
#include "record_store/record_lines.h"
#include "record_store/text_codec.h"

namespace tavelin {

// Where a record's line lies in the bytes it was read from, when writing the record gives
// back exactly that line: then a rewrite copies it from there. Size 0: nowhere.
struct LineSpan {
  quint32 at = 0;
  quint16 size = 0;
};

// The fourteen columns of records. A slot holds at most 80 characters and reads as its
// text padded with spaces to 80; the table keeps the text without the trailing spaces, all
// records in one buffer, so that 15000 records stay small and cost one allocation. Clearing
// keeps the buffers for the next load.
class RecordTable {
 public:
  int rowCount() const { return static_cast<int>(rows_.size()); }

  // The stored text without its trailing spaces (leading spaces kept).
  QStringView stored(int row, int field) const;
  // The value as shown and written: leading and trailing spaces removed.
  QStringView value(int row, int field) const { return trimBlanks(stored(row, field)); }
  // The slot as the fixed-width column holds it: exactly 80 characters.
  QString slot(int row, int field) const;
  // The data-file line for the row, ended, onto a file being written.
  void writeRecordLine(LineWriter& out, int row) const;
  // Where the row's line lies in the bytes it was read from (see LineSpan).
  LineSpan line(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<size_t>(row)].line : LineSpan{};
  }
  // The same line on its own, without its end.
  QString BuildRecordLine(int row) const;

  void clear() {
    rows_.clear();
    used_ = 0;
  }
  // Room for the rows and for their text, in UTF-16 units.
  void reserve(int rows, qsizetype chars = 0);
  // Whether the text has room for that many units already.
  bool hasTextRoom(qsizetype chars) const { return text_.capacity() >= static_cast<size_t>(chars); }
  // Keeps the first `keep` rows of the given order: row i becomes what row order[i] was.
  void reorder(const std::vector<quint32>& order, size_t keep);
  // Stores a record field by field; each text is cut to 80 characters and copied. A view
  // into the table is valid until the next record is stored.
  void beginRecord();
  void addField(QStringView text);
  // The same for a field of plain ASCII bytes, which are their own characters.
  void addAsciiField(QByteArrayView bytes);
  void endRecord(LineSpan line = {});

 private:
  struct Row {
    qsizetype begin = 0;                           // where the row's text starts in text_
    std::array<quint16, kFieldCount + 1> start{};  // field k is [start[k], start[k+1]) from there
    LineSpan line;
  };
  QStringView rowText(const Row& r) const {
    return QStringView(text_.data() + r.begin, r.start[kFieldCount]);
  }
  // Where the next n units of text go; the caller adds them to used_.
  char16_t* room(qsizetype n) {
    text_.grow(static_cast<size_t>(used_ + n), static_cast<size_t>(used_));
    return text_.data() + used_;
  }
  using Rows = std::vector<Row, PageAllocator<Row>>;
  Rows rows_;
  // The fields of every row one after another: used_ units, the rest room to come.
  PageBuffer<char16_t> text_;
  qsizetype used_ = 0;
  Row pending_;  // the record being added
  int pendingFields_ = 0;
};

}  // namespace tavelin
