#include "record_store/record_store.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "record_store/line_reader.h"
#include "record_store/line_sort.h"
#include "record_store/text_codec.h"

namespace tavelin {

QString RecordStore::fileStampOf(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return {};
  return info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace {

// A byte-order mark of UTF-16 or UTF-32 says the file is not one of ours.
bool startsWithWideMark(QByteArrayView bytes) {
  return bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff");
}

}  // namespace

QString RecordStore::readDataFile(QByteArray& bytes) const {
  const QFileInfo info(DataFile);
  if (!info.exists()) return {};  // no file yet: an empty address book
  // Opening a pipe or a device would wait for a writer that never comes.
  if (info.isDir()) return QStringLiteral("it is a folder");
  if (!info.isFile()) return QStringLiteral("it is not an ordinary file");
  QFile file(DataFile);
  if (!file.open(QIODevice::ReadOnly)) return file.errorString();
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return file.errorString();
  if (startsWithWideMark(bytes)) return QStringLiteral("it is not a text file");
  return {};
}

RecordStore::LoadResult RecordStore::SortFile() {
  SkipWatch = true;
  table_.clear();
  untabled_.clear();
  verbatim_.clear();

  QByteArray bytes;
  unreadable_ = readDataFile(bytes);
  const bool utf8 = isValidUtf8(bytes);
  if (utf8 && bytes.startsWith("\xef\xbb\xbf")) bytes.remove(0, 3);  // the writer writes none

  // Each line is a record or is kept as it stands.
  std::vector<QByteArrayView> records;
  std::vector<QByteArrayView> kept;
  bool control = false;
  if (unreadable_.isEmpty()) {
    const std::vector<QByteArrayView> lines = splitLines(QByteArrayView(bytes));
    records.reserve(lines.size());
    for (QByteArrayView line : lines) {
      const ReadLine read = readLine(line, utf8);
      control = control || read.control;
      if (read.kind == LineKind::Kept) {
        kept.push_back(line);
      } else if (read.kind == LineKind::Record) {
        records.push_back(line);
      }
    }
    if (records.empty() && control) unreadable_ = QStringLiteral("it is not a text file");
  }
  if (!unreadable_.isEmpty()) {
    records.clear();
    kept.clear();
  }
  sortLinesIgnoringCase(records, utf8);
  sortLinesIgnoringCase(kept, utf8);
  writeWorkFile(records, kept, utf8);

  const size_t tabled = std::min<size_t>(records.size(), kRecordLimit);
  table_.reserve(static_cast<int>(std::max<size_t>(tabled, 1)));
  LineDecoder decoder(utf8);
  for (size_t i = 0; i < tabled; ++i) {
    const ReadLine read = readLine(records[i], utf8);
    table_.beginRecord();
    // A UTF-8 character takes at most four bytes: 80 characters lie in the first 320.
    for (QByteArrayView raw : read.fields) {
      table_.addField(decoder.field(raw, records[i], 4 * kFieldWidth));
    }
    table_.endRecord();
    if (read.cut) verbatim_.insert(static_cast<int>(i), decoder.decode(records[i]).toString());
  }
  // An address book without records still shows one blank one.
  if (table_.rowCount() == 0) {
    table_.beginRecord();
    table_.endRecord();
  }
  for (size_t i = tabled; i < records.size(); ++i) {
    untabled_ << decoder.decode(records[i]).toString();
  }
  for (QByteArrayView line : kept) untabled_ << decoder.decode(line).toString();

  const QString stamp = fileStampOf(kDataFileName);
  if (!stamp.isEmpty()) FileStamp = stamp;
  return {table_.rowCount() >= kRecordLimit, unreadable_};
}

void RecordStore::writeWorkFile(const std::vector<QByteArrayView>& records,
                                const std::vector<QByteArrayView>& kept, bool utf8) const {
  // A by-product of the load, which reads the sorted lines from memory: a plain write will do.
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
  QFile file(workFile_);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(out);
}

std::optional<WriteError> RecordStore::save(int skippedRow, const QString& appendedLine) {
  // The table no longer stands for the file: writing it would replace what could not be read.
  if (!unreadable_.isEmpty()) {
    return WriteError{DataFile,
                      QStringLiteral("%1 could not be read: %2").arg(kDataFileName, unreadable_)};
  }
  LineWriter out(static_cast<qsizetype>(table_.rowCount()) * 200);
  for (int row = 0; row < table_.rowCount(); ++row) {
    if (row == skippedRow) continue;
    const auto whole = verbatim_.constFind(row);
    if (whole != verbatim_.cend()) {
      out.appendLine(*whole);
    } else {
      table_.writeRecordLine(out, row);
    }
  }
  for (const QString& line : untabled_) out.appendLine(line);
  if (!appendedLine.isNull()) out.appendLine(appendedLine);
  if (auto error = writeFileAtomically(DataFile, out.take())) return error;
  SkipWatch = true;
  return std::nullopt;
}

std::optional<WriteError> RecordStore::SaveRest(int selectedRow, const QString& appendedLine) {
  return save(selectedRow, appendedLine);
}

std::optional<WriteError> RecordStore::SaveAll(const QString& appendedLine) {
  return save(-1, appendedLine);
}

}  // namespace tavelin
