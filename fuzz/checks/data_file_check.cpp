// The data file through the store's own load and rewrite: no line of the file may be lost or
// changed beyond the blanks around a record's values and the empty fields a short record
// lacks, and the rewrite of a rewrite is stable.
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

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

// A line's fields by the field rules alone, a byte at a time: blanks before a field skipped, a
// quoted field up to the next quote, any other up to the comma. Lossless when every quote is
// closed and followed by blanks only, no other field holds a quote and no control character
// but the tab occurs: then the line holds nothing a rewrite of its values would drop.
struct PlainFields {
  std::vector<QByteArrayView> values;
  bool lossless = true;
};

PlainFields plainFields(QByteArrayView line) {
  PlainFields plain;
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') plain.lossless = false;
  }
  qsizetype i = 0;
  for (;;) {
    while (i < line.size() && line[i] == ' ') ++i;
    qsizetype start = i;
    if (i < line.size() && line[i] == '"') {
      start = ++i;
      while (i < line.size() && line[i] != '"') ++i;
      if (i == line.size()) plain.lossless = false;
      plain.values.push_back(line.sliced(start, i - start));
      if (i < line.size()) ++i;
      for (; i < line.size() && line[i] != ','; ++i) {
        if (line[i] != ' ') plain.lossless = false;
      }
    } else {
      for (; i < line.size() && line[i] != ','; ++i) {
        if (line[i] == '"') plain.lossless = false;
      }
      plain.values.push_back(line.sliced(start, i - start));
    }
    if (i >= line.size()) return plain;
    ++i;  // the comma
  }
}

// What a rewrite must hold for the file, worked out apart from the loader: every line that is
// not blank; a line of up to fourteen fields that reads back losslessly as the writer writes
// it, with the fields it lacks empty; any other line as it stands. Empty when the line reader
// disagrees with the rules, else why.
QString expectedLines(QByteArrayView bytes, QStringList& lines) {
  const bool utf8 = isValidUtf8(bytes);
  if (utf8 && bytes.startsWith("\xef\xbb\xbf")) bytes = bytes.sliced(3);
  for (QByteArrayView line : splitLines(bytes)) {
    // A byte-order mark starting a line is no text.
    while (utf8 && line.startsWith("\xef\xbb\xbf")) line = line.sliced(3);
    const ReadLine read = readLine(line, utf8);
    if (read.kind == LineKind::Blank) continue;
    const PlainFields plain = plainFields(line);
    const bool record = plain.lossless && plain.values.size() <= size_t(kFieldCount);
    if (record != (read.kind == LineKind::Record)) {
      return QStringLiteral("a line of %1 fields read as %2")
          .arg(plain.values.size())
          .arg(record ? "no record" : "a record");
    }
    if (!record || read.cut) {
      lines << decodedAs(line, utf8);
      continue;
    }
    QStringList values;
    for (size_t k = 0; k < size_t(kFieldCount); ++k) {
      const QByteArrayView value = k < plain.values.size() ? plain.values[k] : QByteArrayView();
      if (value != read.fields[k]) return QStringLiteral("field %1 read otherwise").arg(k + 1);
      values << QLatin1Char('"') + trimBlanks(decodedAs(value, utf8)) + QLatin1Char('"');
    }
    lines << values.join(QLatin1Char(','));
  }
  return {};
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
  QStringList expected;
  if (QString fault = expectedLines(bytes, expected); !fault.isEmpty()) return fault;
  if (QString fault = firstDifference(expected, written); !fault.isEmpty()) {
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
    QStringList changed = written;
    changed.removeOne(first.writtenLine(0));
    changed << appended;
    const QString fault = firstDifference(changed, writtenLines(first.write(0, appended)));
    if (!fault.isEmpty()) return QStringLiteral("rewrite without the first row: ") + fault;
  }
  return {};
}

}  // namespace tavelin::fuzz
