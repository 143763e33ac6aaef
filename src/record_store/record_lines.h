#pragma once

#include <QString>
#include <QStringView>
#include <array>

namespace tavelin {

constexpr int kFieldCount = 14;
constexpr int kFieldWidth = 80;
// The table takes this many records; the rest of a larger file waits in the overflow.
constexpr int kRecordLimit = 15000;

using FieldTexts = std::array<QString, kFieldCount>;

// Every double quote becomes an apostrophe: a field's text never holds the quote.
QString ReplaceQuotes(QStringView text);

// Leading and trailing spaces removed (only the space character counts as a blank).
QStringView trimBlanks(QStringView text);

// The line for a record as typed: each text untrimmed, with its quotes replaced.
QString BuildLineFromFields(const FieldTexts& typed);

}  // namespace tavelin
