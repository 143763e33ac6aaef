// The data file through the store's own load and rewrite: no line of the file may be lost or
// changed beyond the blanks around a record's values, and the rewrite of a rewrite is stable.
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <utility>

#include "fuzz_checks.h"
#include "record_store/file_contents.h"
#include "record_store/line_reader.h"
#include "record_store/record_lines.h"
#include "record_store/text_codec.h"

namespace tavelin::fuzz {
namespace {

// Every character as it stands, a byte-order mark included.
QString decodedAs(QByteArrayView bytes, bool utf8) {
  if (utf8) {
    return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom)(bytes);
  }
  QString out;
  out.reserve(bytes.size());
  for (char c : bytes) out += QChar(cp1252ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

// What a rewrite must hold for the file, worked out apart from the loader: every line that is
// not blank; a record as the writer writes it, any other line as it stands.
QStringList expectedLines(QByteArrayView bytes) {
  const bool utf8 = isValidUtf8(bytes);
  if (utf8 && bytes.startsWith("\xef\xbb\xbf")) bytes = bytes.sliced(3);
  QStringList lines;
  for (QByteArrayView line : splitLines(bytes)) {
    // A byte-order mark starting a line is no text.
    while (utf8 && line.startsWith("\xef\xbb\xbf")) line = line.sliced(3);
    const ReadLine read = readLine(line, utf8);
    if (read.kind == LineKind::Blank) continue;
    if (read.kind == LineKind::Kept || read.cut) {
      lines << decodedAs(line, utf8);
      continue;
    }
    QStringList values;
    for (QByteArrayView field : read.fields) {
      values << QLatin1Char('"') + trimBlanks(decodedAs(field, utf8)) + QLatin1Char('"');
    }
    lines << values.join(QLatin1Char(','));
  }
  return lines;
}

QStringList writtenLines(const QByteArray& bytes) {
  const QString text = decodedAs(bytes, true);
  QStringList lines;
  for (QStringView line : splitLines(text)) lines << line.toString();
  return lines;
}

// The first line one list holds more often than the other, or nothing when they match.
QString firstDifference(QStringList expected, QStringList written) {
  std::sort(expected.begin(), expected.end());
  std::sort(written.begin(), written.end());
  if (expected == written) return {};
  QStringList lost;
  std::set_difference(expected.begin(), expected.end(), written.begin(), written.end(),
                      std::back_inserter(lost));
  QStringList added;
  std::set_difference(written.begin(), written.end(), expected.begin(), expected.end(),
                      std::back_inserter(added));
  return QStringLiteral("lost %1 line(s), first [%2]; added %3, first [%4]")
      .arg(lost.size())
      .arg(lost.value(0))
      .arg(added.size())
      .arg(added.value(0));
}

QString checkTable(const FileContents& contents) {
  const RecordTable& table = contents.table;
  if (table.rowCount() < 1) return QStringLiteral("the table has no row");
  for (int row = 0; row < table.rowCount(); ++row) {
    for (int k = 0; k < kFieldCount; ++k) {
      const QStringView value = table.value(row, k);
      if (value.size() > kFieldWidth) return QStringLiteral("a value longer than a slot");
      if (!value.isEmpty() && value.back().isHighSurrogate()) {
        return QStringLiteral("a value ends in half a character");
      }
    }
  }
  return {};
}

}  // namespace

QString checkDataFile(QByteArrayView bytes) {
  FileContents first;
  const QString refused = loadContents(bytes, first);
  if (QString fault = checkTable(first); !fault.isEmpty()) return fault;
  if (!refused.isEmpty()) {
    // The store never saves over a file it refused; nothing of it may reach the table.
    if (!first.placeholder || !first.untabled.isEmpty() || !first.verbatim.isEmpty()) {
      return QStringLiteral("a refused file left lines in the table");
    }
    return {};
  }

  const QByteArray save1 = first.write(-1, QString());
  if (!isValidUtf8(save1)) return QStringLiteral("the rewrite is not UTF-8");
  // The lines copied from the file are the ones the writer would build from the table.
  const QByteArrayView source = std::exchange(first.source, {});
  if (first.write(-1, QString()) != save1) {
    return QStringLiteral("a line copied from the file differs from the one written");
  }
  first.source = source;
  const QStringList written = writtenLines(save1);
  if (QString fault = firstDifference(expectedLines(bytes), written); !fault.isEmpty()) {
    return QStringLiteral("first rewrite: ") + fault;
  }

  FileContents second;
  if (!loadContents(save1, second).isEmpty()) return QStringLiteral("the rewrite is refused");
  const QByteArray save2 = second.write(-1, QString());
  if (QString fault = firstDifference(written, writtenLines(save2)); !fault.isEmpty()) {
    return QStringLiteral("second rewrite: ") + fault;
  }
  FileContents third;
  loadContents(save2, third);
  if (third.write(-1, QString()) != save2) {
    return QStringLiteral("the third rewrite differs from the second");
  }

  // One change, as a save of the user's edit writes it: the first row out, a new line in.
  if (!first.placeholder) {
    const QString appended = QStringLiteral(
        "\"added\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
        "\"\",\"\",\"\",\"\",\"\"");
    QStringList expected = written;
    expected.removeOne(first.writtenLine(0));
    expected << appended;
    const QString fault = firstDifference(expected, writtenLines(first.write(0, appended)));
    if (!fault.isEmpty()) return QStringLiteral("rewrite without the first row: ") + fault;
  }
  return {};
}

}  // namespace tavelin::fuzz
