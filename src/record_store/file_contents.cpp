#include "record_store/file_contents.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "record_store/line_reader.h"
#include "record_store/line_sort.h"
#include "record_store/text_codec.h"

namespace tavelin {
namespace {

constexpr QByteArrayView kUtf8Mark = "\xef\xbb\xbf";

// A byte-order mark of UTF-16 or UTF-32 says the file is not one of ours.
bool startsWithWideMark(QByteArrayView bytes) {
  return bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff");
}

// The work file is a by-product of the load, which reads the sorted lines from memory: a
// plain write will do.
void writeWorkFile(const QString& path, const std::vector<QByteArrayView>& records,
                   const std::vector<QByteArrayView>& kept, bool utf8) {
  QByteArray out;
  if (utf8) {
    qsizetype size = 0;
    for (const auto* lines : {&records, &kept}) {
      for (QByteArrayView line : *lines) size += line.size() + 2;
    }
    out.reserve(size);
    for (const auto* lines : {&records, &kept}) {
      for (QByteArrayView line : *lines) out.append(line).append("\r\n");
    }
  } else {
    LineWriter writer;
    LineDecoder decoder(false);
    for (const auto* lines : {&records, &kept}) {
      for (QByteArrayView line : *lines) writer.appendLine(decoder.decode(line));
    }
    out = writer.take();
  }
  // A missing or empty address book still reads as one empty line.
  if (records.empty() && kept.empty()) out = "\r\n";
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(out);
}

}  // namespace

QString FileContents::writtenLine(int row) const {
  const auto whole = verbatim.constFind(row);
  return whole != verbatim.cend() ? *whole : table.BuildRecordLine(row);
}

QByteArray FileContents::write(int skippedRow, const QString& appendedLine) const {
  LineWriter out(static_cast<qsizetype>(table.rowCount()) * 200);
  // The blank row of a file without records is no record: it is never written.
  for (int row = placeholder ? 1 : 0; row < table.rowCount(); ++row) {
    if (row == skippedRow) continue;
    const auto whole = verbatim.constFind(row);
    if (whole != verbatim.cend()) {
      out.appendLine(*whole);
    } else {
      table.writeRecordLine(out, row);
    }
  }
  for (const QString& line : untabled) out.appendLine(line);
  if (!appendedLine.isNull()) out.appendLine(appendedLine);
  return out.take();
}

QString readDataFile(const QString& path, QByteArray& bytes) {
  bytes.clear();
  const QFileInfo info(path);
  if (!info.exists()) return {};  // no file yet: an empty address book
  if (info.isDir()) return QStringLiteral("it is a folder");
  if (!info.isFile()) return QStringLiteral("it is not an ordinary file");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return file.errorString();
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return file.errorString();
  if (startsWithWideMark(bytes)) return QStringLiteral("it is not a text file");
  return {};
}

QString loadContents(QByteArray bytes, FileContents& contents, const QString& workFile) {
  contents = FileContents();
  const bool utf8 = isValidUtf8(bytes);
  if (utf8 && bytes.startsWith(kUtf8Mark))
    bytes.remove(0, kUtf8Mark.size());  // the writer writes none

  // Each line is a record or is kept as it stands.
  std::vector<QByteArrayView> records;
  std::vector<QByteArrayView> kept;
  bool control = false;
  const std::vector<QByteArrayView> lines = splitLines(QByteArrayView(bytes));
  records.reserve(lines.size());
  for (QByteArrayView line : lines) {
    // A byte-order mark at a line's start is left from files joined together: the line is read
    // without it, and a line of nothing else is blank.
    while (utf8 && line.startsWith(kUtf8Mark)) line = line.sliced(kUtf8Mark.size());
    const ReadLine read = readLine(line, utf8);
    control = control || read.control;
    if (read.kind == LineKind::Kept) {
      kept.push_back(line);
    } else if (read.kind == LineKind::Record) {
      records.push_back(line);
    }
  }
  QString refused;
  if (records.empty() && control) {
    refused = QStringLiteral("it is not a text file");
    kept.clear();
  }
  sortLinesIgnoringCase(records, utf8);
  sortLinesIgnoringCase(kept, utf8);
  if (!workFile.isEmpty()) writeWorkFile(workFile, records, kept, utf8);

  RecordTable& table = contents.table;
  const size_t tabled = std::min<size_t>(records.size(), kRecordLimit);
  table.reserve(static_cast<int>(std::max<size_t>(tabled, 1)));
  LineDecoder decoder(utf8);
  for (size_t i = 0; i < tabled; ++i) {
    const ReadLine read = readLine(records[i], utf8);
    table.beginRecord();
    // A UTF-8 character takes at most four bytes: 80 characters lie in the first 320.
    for (QByteArrayView raw : read.fields) {
      table.addField(decoder.field(raw, records[i], 4 * kFieldWidth));
    }
    table.endRecord();
    if (read.cut) {
      contents.verbatim.insert(static_cast<int>(i), decoder.decode(records[i]).toString());
    }
  }
  // An address book without records still shows one blank one.
  if (table.rowCount() == 0) {
    table.beginRecord();
    table.endRecord();
    contents.placeholder = true;
  }
  for (size_t i = tabled; i < records.size(); ++i) {
    contents.untabled << decoder.decode(records[i]).toString();
  }
  for (QByteArrayView line : kept) contents.untabled << decoder.decode(line).toString();
  contents.limitReached = table.rowCount() >= kRecordLimit;
  return refused;
}

}  // namespace tavelin
