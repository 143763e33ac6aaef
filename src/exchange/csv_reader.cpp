#include "exchange/csv_reader.h"

#include "exchange/csv_columns.h"
#include "exchange/vcard_text.h"
#include "record_store/text_codec.h"

namespace tavelin::exchange {
namespace {

constexpr qsizetype kMaxHeadBytes = 64 * 1024;

// The separator is the one of comma, semicolon (Outlooks of many countries) and tab that
// the first line holds most of, outside quotes. The line ends at its first line feed, quoted
// or not, so that the choice does not depend on how much of the file came in the first piece.
char separatorOf(QByteArrayView head) {
  int commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (char c : head) {
    if (c == '\n') break;
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    commas += c == ',';
    semicolons += c == ';';
    tabs += c == '\t';
  }
  if (semicolons > commas && semicolons >= tabs) return ';';
  if (tabs > commas && tabs > semicolons) return '\t';
  return ',';
}

}  // namespace

CsvReader::CsvReader(Sink sink) : sink_(std::move(sink)) {}
CsvReader::~CsvReader() = default;

bool CsvReader::hasHeader() const {
  return layout_ && layout_->known;
}

bool CsvReader::refused() const {
  return layout_ && !layout_->known;
}

void CsvReader::feed(QByteArrayView bytes) {
  if (refused()) return;  // no row of the rest could be read: no need to look at them
  if (!started_) {
    // The first line decides the encoding and the separator: wait until it is whole.
    const qsizetype n = std::min(bytes.size(), kMaxHeadBytes - head_.size());
    head_.append(bytes.first(n));
    bytes = bytes.sliced(n);
    if (!head_.contains('\n') && head_.size() < kMaxHeadBytes) return;
    start();
  }
  if (utf16_) {
    take(QString(utf16_->decode(bytes)).toUtf8());
  } else {
    take(bytes);
  }
}

void CsvReader::start() {
  started_ = true;
  QByteArray head = std::move(head_);
  head_ = {};
  if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
    utf16_ = std::make_unique<QStringDecoder>(
        head.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    head = QString(utf16_->decode(QByteArrayView(head).sliced(2))).toUtf8();
  } else if (head.startsWith("\xEF\xBB\xBF")) {
    head.remove(0, 3);
  }
  separator_ = separatorOf(head);
  take(head);
}

void CsvReader::finish() {
  if (refused()) return;
  if (!started_) start();
  if (!row_.isEmpty() || !cellEnds_.empty() || state_ != State::CellStart) {
    endCell();
    endRow();
  }
}

void CsvReader::endCell() {
  if (static_cast<int>(cellEnds_.size()) >= kMaxColumns) rowBroken_ = true;
  if (!rowBroken_) cellEnds_.push_back(row_.size());
  state_ = State::CellStart;
}

void CsvReader::endRow() {
  state_ = State::CellStart;
  const bool broken = rowBroken_;
  rowBroken_ = false;
  QStringList cells;
  bool blank = true;
  qsizetype start = 0;
  if (!broken) {
    cells.reserve(static_cast<qsizetype>(cellEnds_.size()));
    for (qsizetype end : cellEnds_) {
      const QByteArrayView cell = QByteArrayView(row_).sliced(start, end - start);
      cells.append(decodeCharset(cell, {}));
      if (!cell.trimmed().isEmpty()) blank = false;
      start = end;
    }
  }
  row_.truncate(0);
  cellEnds_.clear();
  if (!layout_) {
    layout_ = std::make_unique<CsvLayout>(CsvLayout::fromHeadings(cells));
    return;
  }
  if (!layout_->known) return;
  if (broken) {
    ++unreadable_;
    return;
  }
  if (blank) return;
  Contact contact = layout_->contactOf(cells);
  if (!contact.isEmpty()) sink_(std::move(contact));
}

void CsvReader::take(QByteArrayView bytes) {
  for (const char c : bytes) {
    if (!layout_ && rowBroken_) {
      // A first row past the caps names no columns: the file is no contacts CSV.
      layout_ = std::make_unique<CsvLayout>();
      return;
    }
    if (refused()) return;
    switch (state_) {
      case State::CellStart:
        if (c == '"') {
          state_ = State::Quoted;
          continue;
        }
        state_ = State::Unquoted;
        [[fallthrough]];
      case State::Unquoted:
        if (c == separator_) {
          endCell();
        } else if (c == '\n') {
          endCell();
          endRow();
        } else if (c != '\r') {
          if (row_.size() < kMaxRowBytes) {
            row_ += c;
          } else {
            rowBroken_ = true;
          }
        }
        continue;
      case State::QuoteInQuoted:
        if (c == '"') {
          state_ = State::Quoted;
        } else if (c == separator_) {
          endCell();
          continue;
        } else if (c == '\n') {
          endCell();
          endRow();
          continue;
        } else if (c == '\r') {
          continue;
        } else {
          state_ = State::Unquoted;  // text after a closing quote: kept as it stands
        }
        break;
      case State::Quoted:
        if (c == '"') {
          state_ = State::QuoteInQuoted;
          continue;
        }
        if (rowBroken_ && c == '\n') {
          // A row too long to be whole, maybe a quote never closed: the next row starts at
          // the next line, so one broken row cannot swallow the rest of the file.
          endCell();
          endRow();
          continue;
        }
        break;
    }
    if (row_.size() < kMaxRowBytes) {
      row_ += c;
    } else {
      rowBroken_ = true;
    }
  }
}

ReadContacts readCsv(QByteArrayView bytes) {
  return readWhole<CsvReader>(bytes, [](const CsvReader& r) { return r.hasHeader(); });
}

}  // namespace tavelin::exchange
