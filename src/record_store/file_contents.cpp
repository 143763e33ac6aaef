#include "record_store/file_contents.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <latch>
#include <limits>
#include <memory>
#include <vector>

#include "record_store/line_reader.h"
#include "record_store/line_sort.h"
#include "record_store/side_thread.h"
#include "record_store/text_codec.h"

namespace tavelin {
namespace {

constexpr QByteArrayView kUtf8Mark = "\xef\xbb\xbf";

// The work file holds the file's lines in sorted order. It is a by-product of the load, which
// reads the lines from memory: a plain write will do, through one small buffer, so that no
// copy of the whole file is made. It is written over in place and then cut to its new
// length: emptying it first would make the system drop its pages and write them out before
// the same bytes come again.
void writeWorkFile(const QString& path, const std::vector<QByteArrayView>& lines,
                   const std::vector<quint32>& order, bool utf8) {
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) return;
  qint64 size = 0;
  const auto put = [&file, &size](QByteArrayView bytes) {
    const qint64 n = file.write(bytes.data(), bytes.size());
    if (n > 0) size += n;
  };
  if (order.empty()) {
    put("\r\n");  // a missing or empty address book still reads as one empty line
  } else {
    constexpr qsizetype kChunk = 1 << 16;
    constexpr size_t kAhead = 8;  // lines in sort order lie all over the file: fetch ahead
    LineWriter writer(kChunk + 4096);
    LineDecoder decoder(false);
    for (size_t k = 0; k < order.size(); ++k) {
      if (k + kAhead < order.size()) __builtin_prefetch(lines[order[k + kAhead]].data());
      const QByteArrayView line = lines[order[k]];
      if (utf8) {
        writer.appendBytesLine(line);
      } else {
        writer.appendLine(decoder.decode(line));
      }
      if (writer.written().size() >= kChunk) {
        put(writer.written());
        writer.restart();
      }
    }
    put(writer.written());
  }
  file.resize(size);
}

}  // namespace

QString FileContents::writtenLine(int row) const {
  const auto whole = verbatim.constFind(row);
  return whole != verbatim.cend() ? *whole : table.BuildRecordLine(row);
}

void FileContents::reset() {
  table.clear();
  untabled.clear();
  verbatim.clear();
  placeholder = false;
  limitReached = false;
  keptLines = 0;
  source = {};
}

QByteArray FileContents::write(int skippedRow, const QString& appendedLine) const {
  LineWriter out;
  write(out, skippedRow, appendedLine);
  return out.take();
}

void FileContents::write(LineWriter& out, int skippedRow, const QString& appendedLine) const {
  Edits edits;
  if (skippedRow >= 0) edits.skippedRows.push_back(skippedRow);
  if (!appendedLine.isNull()) edits.appended << appendedLine;
  write(out, edits);
}

void FileContents::write(LineWriter& out, const Edits& edits) const {
  out.reserve((static_cast<qsizetype>(table.rowCount()) + edits.appended.size()) * 200);
  auto skipped = edits.skippedRows.cbegin();
  // The blank row of a file without records is no record: it is never written.
  for (int row = placeholder ? 1 : 0; row < table.rowCount(); ++row) {
    while (skipped != edits.skippedRows.cend() && *skipped < row) ++skipped;
    if (skipped != edits.skippedRows.cend() && *skipped == row) continue;
    const auto whole = verbatim.constFind(row);
    if (whole != verbatim.cend()) {
      out.appendLine(*whole);
    } else if (const LineSpan line = table.line(row);
               line.size > 0 && line.at + line.size <= source.size()) {
      out.appendBytesLine(source.sliced(line.at, line.size));
    } else {
      table.writeRecordLine(out, row);
    }
  }
  auto skippedKept = edits.skippedKept.cbegin();
  for (int k = 0; k < untabled.size(); ++k) {
    while (skippedKept != edits.skippedKept.cend() && *skippedKept < k) ++skippedKept;
    if (skippedKept != edits.skippedKept.cend() && *skippedKept == k) continue;
    out.appendLine(untabled[k]);
  }
  for (const QString& line : edits.appended) out.appendLine(line);
}

bool startsWithWideMark(QByteArrayView bytes) {
  return bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff");
}

namespace {

// Opens a data file for reading; why it cannot be, or empty. A missing file is not opened and
// reads as empty.
QString openDataFile(QFile& file) {
  const QFileInfo info(file.fileName());
  if (!info.exists()) return {};  // no file yet: an empty address book
  if (info.isDir()) return QStringLiteral("it is a folder");
  if (!info.isFile()) return QStringLiteral("it is not an ordinary file");
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return file.errorString();
  return {};
}

}  // namespace

QString readDataFile(const QString& path, PageBuffer<char>& buffer, QByteArrayView& bytes) {
  bytes = {};
  QFile file(path);
  if (QString reason = openDataFile(file); !file.isOpen()) return reason;
  // Read to the end, however the file grows meanwhile.
  size_t used = 0;
  buffer.reserve(static_cast<size_t>(std::max<qint64>(file.size(), 0)) + 1, 0);
  for (;;) {
    buffer.grow(used + 1, used);
    const qint64 n = file.read(buffer.data() + used, static_cast<qint64>(buffer.capacity() - used));
    if (n < 0) return file.errorString();
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  bytes = QByteArrayView(buffer.data(), static_cast<qsizetype>(used));
  if (startsWithWideMark(bytes)) return QStringLiteral("it is not a text file");
  return {};
}

QString compareDataFile(const QString& path, QByteArrayView bytes, bool& same) {
  same = false;
  QFile file(path);
  if (QString reason = openDataFile(file); !file.isOpen()) {
    same = reason.isEmpty() && bytes.isEmpty();
    return reason;
  }
  constexpr qsizetype kPiece = 1 << 16;
  const auto piece = std::make_unique<char[]>(kPiece);
  qsizetype compared = 0;
  for (;;) {
    const qint64 n = file.read(piece.get(), kPiece);
    if (n < 0) return file.errorString();
    if (n == 0) break;
    if (n > bytes.size() - compared ||
        std::memcmp(piece.get(), bytes.data() + compared, static_cast<size_t>(n)) != 0) {
      return {};
    }
    compared += n;
  }
  same = compared == bytes.size();
  return {};
}

QString loadContents(QByteArrayView bytes, FileContents& contents, const QString& workFile,
                     const std::function<bool()>& workFileWanted) {
  contents.reset();
  const bool utf8 = isValidUtf8(bytes);
  if (utf8 && bytes.startsWith(kUtf8Mark))
    bytes = bytes.sliced(kUtf8Mark.size());  // the writer writes none
  contents.source = bytes;

  std::vector<QByteArrayView> lines = splitLines(bytes);
  // A byte-order mark at a line's start is left from files joined together: the line is read
  // without it, and a line of nothing else is blank.
  if (utf8) {
    for (QByteArrayView& line : lines) {
      while (line.startsWith(kUtf8Mark)) line = line.sliced(kUtf8Mark.size());
    }
  }
  // One pass: each line is a record, taken into the table as it comes, or is kept as it
  // stands. The table's rows are put in order afterwards, which moves no text.
  constexpr quint32 kNoRecord = ~quint32{0};
  std::vector<quint32> recordOf(lines.size(), kNoRecord);  // the table row a line became
  std::vector<bool> isKept(lines.size(), false);
  std::vector<bool> cut;  // the record's line holds more than the table shows
  bool control = false;
  bool whole = false;  // a record of all fourteen fields
  RecordTable& table = contents.table;
  // The fields take no more UTF-16 units than the file takes bytes.
  table.reserve(static_cast<int>(std::max<size_t>(lines.size(), 1)), bytes.size());
  // The sort runs beside the reading, on the other core: it puts every line in order, and
  // the records and the kept lines are then taken from that order, each in theirs (the same
  // order, since every two lines compare the same way whatever lies between them).
  // The same thread then writes the work file, while this one still reads.
  std::vector<quint32> lineOrder;
  std::latch ordered(1);
  bool writeWork = !workFile.isEmpty();
  SideThread sorting([&lines, &lineOrder, &ordered, &workFile, &workFileWanted, &writeWork, utf8] {
    lineOrder = sortOrderIgnoringCase(lines, utf8);
    ordered.count_down();
    if (writeWork && workFileWanted) writeWork = workFileWanted();
    if (writeWork) writeWorkFile(workFile, lines, lineOrder, utf8);
  });

  LineDecoder decoder(utf8);
  quint32 records = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const QByteArrayView line = lines[i];
    const ReadLine read = readLine(line, utf8);
    control = control || read.control;
    whole = whole || read.count == kFieldCount;
    if (read.kind == LineKind::Kept) {
      isKept[i] = true;
    } else if (read.kind == LineKind::Record) {
      recordOf[i] = records++;
      cut.push_back(read.cut);
      table.beginRecord();
      // A UTF-8 character takes at most four bytes: 80 characters lie in the first 320.
      for (QByteArrayView raw : read.fields) {
        if (read.ascii) {
          table.addAsciiField(raw);
        } else {
          table.addField(decoder.field(raw, line, 4 * kFieldWidth));
        }
      }
      // A line the writer would write the same is copied by a rewrite instead.
      LineSpan span;
      const qsizetype at = line.data() - bytes.data();
      if (read.canonical && (utf8 || read.ascii) && at <= std::numeric_limits<quint32>::max() &&
          line.size() <= std::numeric_limits<quint16>::max()) {
        span = {static_cast<quint32>(at), static_cast<quint16>(line.size())};
      }
      table.endRecord(span);
    }
  }
  ordered.wait();

  QString refused;
  // Random bytes hold short pieces that read as a few fields: only a whole record shows a
  // file of control characters to be an address book. Nothing of one that is not is taken.
  const bool notText = !whole && control;
  if (notText) refused = QStringLiteral("it is not a text file");
  std::vector<quint32> order;  // table rows in sort order
  std::vector<QByteArrayView> sorted;
  std::vector<QByteArrayView> kept;
  order.reserve(records);
  sorted.reserve(records);
  const std::vector<quint32> none;
  for (quint32 i : notText ? none : lineOrder) {
    if (recordOf[i] != kNoRecord) {
      order.push_back(recordOf[i]);
      sorted.push_back(lines[i]);
    } else if (isKept[i]) {
      kept.push_back(lines[i]);
    }
  }
  // The table holds the first records in order; the rest wait beside it.
  const size_t tabled = std::min<size_t>(order.size(), kRecordLimit);
  table.reorder(order, tabled);
  for (size_t i = 0; i < tabled; ++i) {
    if (cut[order[i]]) {
      contents.verbatim.insert(static_cast<int>(i), decoder.decode(sorted[i]).toString());
    }
  }
  // An address book without records still shows one blank one.
  if (table.rowCount() == 0) {
    table.beginRecord();
    table.endRecord();
    contents.placeholder = true;
  }
  for (size_t i = tabled; i < sorted.size(); ++i) {
    contents.untabled << decoder.decode(sorted[i]).toString();
  }
  for (QByteArrayView line : kept) contents.untabled << decoder.decode(line).toString();
  contents.keptLines = static_cast<int>(kept.size());
  contents.limitReached = table.rowCount() >= kRecordLimit;
  sorting.join();
  // Nothing of a file that is not text goes anywhere, the work file included.
  if (notText && writeWork) writeWorkFile(workFile, {}, {}, utf8);
  return refused;
}

}  // namespace tavelin
