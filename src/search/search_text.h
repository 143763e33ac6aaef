#pragma once

#include <QString>
#include <QStringView>
#include <array>

#include "record_store/record_lines.h"

namespace tavelin::search {

// Every letter that begins a word in upper case, every other letter in lower case. A word
// begins the text or follows a blank, tab, line feed, vertical tab, form feed, CR or NUL.
QString properCase(QStringView text);

// Whether a search string occurs in a record. A record is searched as its fourteen fields
// one after another, each padded with spaces to its full 80 characters, both sides in upper
// case. The record is read in place: nothing is copied or allocated per record.
class SearchMatcher {
 public:
  explicit SearchMatcher(QStringView searchString);

  // The fields as the table stores them: at most 80 characters, no trailing spaces.
  bool matches(const std::array<QStringView, kFieldCount>& storedFields) const;

 private:
  bool matchesAt(const std::array<QStringView, kFieldCount>& fields, int field, int offset) const;

  QString needle_;  // the search string in upper case
  // Which ASCII characters can start a match, and whether any other character can.
  std::array<bool, 128> asciiStarts_{};
  bool otherStarts_ = false;
};

}  // namespace tavelin::search
