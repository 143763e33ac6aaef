#include "output/print_text.h"

#include <array>

#include "contracts/record_view.h"

namespace tavelin::output {
namespace {

// Each exactly ten characters, so that a fixed-pitch printer lines the values up too.
constexpr std::array<const char*, kFieldCount> kLabels = {
    "Full Name:", "Address 1:", "Address 2:", "Address 3:", "Phone 1:  ",
    "Phone 2:  ", "Phone 3:  ", "Phone 4:  ", "E-Mail:   ", "Notes 1:  ",
    "Notes 2:  ", "Notes 3:  ", "Notes 4:  ", "Notes 5:  ",
};

}  // namespace

QString recordPrintText(const RecordList& records, int row) {
  QString text;
  text.reserve(kFieldCount * (10 + 1 + kFieldWidth + 2) + 2);
  for (int k = 0; k < kFieldCount; ++k) {
    text += QLatin1String(kLabels[k]) + QLatin1Char('\t') + records.recordSlot(row, k) +
            QLatin1String("\r\n");
  }
  text += QLatin1String("\r\n");
  return text;
}

}  // namespace tavelin::output
