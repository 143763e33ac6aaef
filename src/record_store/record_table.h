#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <vector>

#include "record_store/record_lines.h"
#include "record_store/text_codec.h"

namespace tavelin {

// The fourteen columns of records. A slot holds at most 80 characters and reads as its
// text padded with spaces to 80; the table keeps the text without the trailing spaces, one
// string a record, so that 15000 records stay small.
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
  // The same line on its own, without its end.
  QString BuildRecordLine(int row) const;

  void clear() { rows_.clear(); }
  void reserve(int rows) { rows_.reserve(static_cast<size_t>(rows)); }
  // Stores a record field by field; each text is cut to 80 characters and copied.
  void beginRecord();
  void addField(QStringView text);
  void endRecord();

 private:
  struct Row {
    QString text;                                // the fields one after another
    std::array<quint16, kFieldCount + 1> start;  // field k is text[start[k], start[k+1])
  };
  std::vector<Row> rows_;
  // The record being added: at most fourteen fields of 80 characters.
  std::array<QChar, kFieldCount * kFieldWidth> pendingText_;
  std::array<quint16, kFieldCount + 1> pendingStart_;
  int pendingFields_ = 0;
  qsizetype pendingSize_ = 0;
};

}  // namespace tavelin
