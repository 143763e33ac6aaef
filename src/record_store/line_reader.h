#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>

#include "record_store/record_lines.h"

namespace tavelin {

// What one line of a data file holds.
enum class LineKind {
  Blank,   // nothing but blanks: no word to keep
  Record,  // up to fourteen fields that read back exactly as the writer writes them
  Kept,    // anything else: never taken apart, written back as it stands
};

// One line read by the field rules, within the line: blanks before a field are skipped; a
// field that begins with a double quote runs to the next double quote and may be followed by
// blanks only; any other field runs to the next comma or the line end and holds no quote.
// A line is a record only when it holds at most fourteen fields, every closing quote is there,
// nothing but blanks would be skipped and no control character (other than the tab) occurs,
// so that taking it into the table and writing it out again loses nothing but blanks around
// the values. A record of fewer fields (typed by hand, or cut off) has the rest empty, as a
// reader taking field after field pads a short last record. Quotes, commas and blanks are
// single bytes in UTF-8 and Windows-1252 alike, so the line is read before it is decoded.
struct ReadLine {
  LineKind kind = LineKind::Kept;
  // The fields the line holds: a record of fewer than fourteen is written back with all.
  int count = 0;
  // A field runs past 80 characters (UTF-16 units, as the table counts them): the table shows
  // less than the line holds, so a rewrite keeps the line as it stands.
  bool cut = false;
  // A control character: with no record beside it, the file is not a text file.
  bool control = false;
  // Nothing but ASCII: each byte is its own character in either encoding.
  bool ascii = false;
  // All fourteen fields quoted, with nothing between the quotes and commas and no blank at
  // either end of a value: as the writer writes the record, when it is not cut and the bytes
  // are UTF-8.
  bool canonical = false;
  // The raw values of a record, quotes removed, blanks after the value kept; empty past count.
  std::array<QByteArrayView, kFieldCount> fields;
};

ReadLine readLine(QByteArrayView line, bool utf8);

}  // namespace tavelin
