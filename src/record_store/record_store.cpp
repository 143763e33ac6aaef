#include "record_store/record_store.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "record_store/field_reader.h"
#include "record_store/line_sort.h"
#include "record_store/text_codec.h"

namespace tavelin {

QString RecordStore::fileStampOf(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return {};
  return info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

RecordStore::LoadResult RecordStore::SortFile() {
  SkipWatch = true;
  table_.clear();
  overflow_.clear();

  QByteArray bytes;
  {
    QFile file(DataFile);
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  }
  const bool utf8 = isValidUtf8(bytes);

  // A missing or empty file still gives one (empty) line, hence one blank record.
  std::vector<QByteArrayView> lines = splitLines(QByteArrayView(bytes));
  if (lines.empty()) lines.emplace_back();
  sortLinesIgnoringCase(lines, utf8);
  writeWorkFile(lines, utf8);

  // The table has a slot for every counted line plus one spare; at most the record limit.
  const int slotCount = std::min<int>(static_cast<int>(lines.size()) + 1, kRecordLimit);
  table_.reserve(std::min<int>(slotCount, static_cast<int>(lines.size())));
  FieldReader reader(lines);
  LineDecoder decoder(utf8);
  do {
    table_.beginRecord();
    for (int k = 0; k < kFieldCount; ++k) {
      // A UTF-8 character takes at most four bytes: 80 characters lie in the first 320.
      const QByteArrayView raw = reader.readField();
      table_.addField(decoder.field(raw, reader.lastLine(), 4 * kFieldWidth));
    }
    table_.endRecord();
  } while (table_.rowCount() < slotCount && !reader.atEnd());
  for (QByteArrayView rest : reader.remainingLines()) overflow_ << decoder.decode(rest).toString();

  const QString stamp = fileStampOf(kDataFileName);
  if (!stamp.isEmpty()) FileStamp = stamp;
  return {table_.rowCount() >= kRecordLimit};
}

void RecordStore::writeWorkFile(const std::vector<QByteArrayView>& lines, bool utf8) const {
  // A by-product of the load, which reads the sorted lines from memory: a plain write will do.
  QByteArray out;
  if (utf8) {
    qsizetype size = 0;
    for (QByteArrayView line : lines) size += line.size() + 2;
    out.resize(size);
    char* p = out.data();
    for (QByteArrayView line : lines) {
      std::memcpy(p, line.data(), static_cast<size_t>(line.size()));
      p += line.size();
      *p++ = '\r';
      *p++ = '\n';
    }
  } else {
    LineWriter writer;
    LineDecoder decoder(false);
    for (QByteArrayView line : lines) writer.appendLine(decoder.decode(line));
    out = writer.take();
  }
  QFile file(workFile_);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(out);
}

std::optional<WriteError> RecordStore::save(int skippedRow, const QString& appendedLine) {
  LineWriter out(static_cast<qsizetype>(table_.rowCount()) * 200);
  for (int row = 0; row < table_.rowCount(); ++row) {
    if (row != skippedRow) table_.writeRecordLine(out, row);
  }
  for (const QString& line : overflow_) out.appendLine(line);
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
