#pragma once

#include <QByteArray>
#include <vector>

#include "exchange/contact.h"

namespace tavelin::exchange {

// Writes contacts as CSV in Google's layout (UTF-8, CR LF): the heading row, then one row a
// record, the family name being the last word of the Full Name.
class CsvWriter {
 public:
  void writeHeader(QByteArray& out);
  // A record without a word in any field has no row.
  void write(QByteArray& out, const FieldViews& fields);
};

QByteArray writeCsv(const std::vector<FieldTexts>& records);

}  // namespace tavelin::exchange
