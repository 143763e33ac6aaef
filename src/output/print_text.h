#pragma once

#include <QString>

namespace tavelin {
class RecordList;
}

namespace tavelin::output {

// The printed text of one record: for each field its ten-character label, a tab, the stored
// value at its full 80 characters and CR LF; then one more CR LF.
QString recordPrintText(const RecordList& records, int row);

}  // namespace tavelin::output
