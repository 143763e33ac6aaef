#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <functional>
#include <memory>
#include <vector>

#include "exchange/contact.h"

namespace tavelin::exchange {

struct CsvLayout;

// Reads the contacts of a CSV file as Google (both layouts) and Outlook write it, a piece at
// a time: the first row names the columns, each further row is a contact. Cells may be
// quoted and hold line breaks; a row past the caps could not be read. Files in UTF-8 (with
// or without a byte-order mark), UTF-16 with its mark, or Windows-1252.
class CsvReader {
 public:
  static constexpr qsizetype kMaxRowBytes = 1 << 20;
  static constexpr int kMaxColumns = 1000;

  using Sink = std::function<void(Contact&&)>;
  explicit CsvReader(Sink sink);
  ~CsvReader();

  void feed(QByteArrayView bytes);
  void finish();

  // The first row named at least one column a field takes.
  bool hasHeader() const;
  // The first row named none: nothing more is read.
  bool refused() const;
  int unreadable() const { return unreadable_; }

 private:
  void start();
  void take(QByteArrayView bytes);
  void endCell();
  void endRow();

  Sink sink_;
  bool started_ = false;
  QByteArray head_;  // the start of the file, kept until its first line is whole
  std::unique_ptr<QStringDecoder> utf16_;
  char separator_ = ',';
  enum class State { CellStart, Unquoted, Quoted, QuoteInQuoted } state_ = State::CellStart;
  QByteArray row_;  // the cells of the row being read, one after another
  std::vector<qsizetype> cellEnds_;
  bool rowBroken_ = false;
  std::unique_ptr<CsvLayout> layout_;  // from the first row
  int unreadable_ = 0;
};

ReadContacts readCsv(QByteArrayView bytes);

}  // namespace tavelin::exchange
