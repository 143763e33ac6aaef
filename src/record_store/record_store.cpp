#include "record_store/record_store.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

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

  QString text;
  {
    QFile file(DataFile);
    if (file.open(QIODevice::ReadOnly)) text = decodeText(file.readAll());
  }

  // A missing or empty file still gives one (empty) line, hence one blank record.
  std::vector<QStringView> lines = splitLines(text);
  if (lines.empty()) lines.emplace_back();
  sortLinesIgnoringCase(lines);
  writeWorkFile(lines);

  // The table has a slot for every counted line plus one spare; at most the record limit.
  const int slots = std::min<int>(static_cast<int>(lines.size()) + 1, kRecordLimit);
  table_.reserve(std::min<int>(slots, static_cast<int>(lines.size())));
  FieldReader reader(lines);
  std::array<QStringView, kFieldCount> fields;
  do {
    for (QStringView& f : fields) f = reader.readField();
    table_.append(fields);
  } while (table_.rowCount() < slots && !reader.atEnd());
  for (QStringView rest : reader.remainingLines()) overflow_ << rest.toString();

  const QString stamp = fileStampOf(kDataFileName);
  if (!stamp.isEmpty()) FileStamp = stamp;
  return {table_.rowCount() >= kRecordLimit};
}

void RecordStore::writeWorkFile(const std::vector<QStringView>& lines) const {
  // A by-product of the load, which reads the sorted lines from memory: a plain write will do.
  LineWriter out;
  for (QStringView line : lines) out.appendLine(line);
  QFile file(workFile_);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(out.take());
}

std::optional<WriteError> RecordStore::save(int skippedRow, const QString& appendedLine) {
  LineWriter out(static_cast<qsizetype>(table_.rowCount()) * 200);
  QString scratch;
  for (int row = 0; row < table_.rowCount(); ++row) {
    if (row != skippedRow) table_.writeRecordLine(out, row, scratch);
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
