// The text codec and the sort against plain reference versions built on Qt alone.
#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

#include "fuzz_checks.h"
#include "record_store/line_sort.h"
#include "record_store/text_codec.h"

namespace tavelin::fuzz {
namespace {

QString cp1252(QByteArrayView bytes) {
  QString out;
  out.reserve(bytes.size());
  for (char c : bytes) out += QChar(cp1252ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

// Every character as it stands, a byte-order mark included.
QString utf8OrCp1252(QByteArrayView bytes, bool utf8) {
  if (!utf8) return cp1252(bytes);
  return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom)(bytes);
}

// Line ends found one character at a time: [start, length] of each line.
template <typename Text>
std::vector<std::pair<qsizetype, qsizetype>> referenceLines(const Text& text) {
  std::vector<std::pair<qsizetype, qsizetype>> lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(start, i - start);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(start, text.size() - start);
  return lines;
}

QString checkSplit(QByteArrayView bytes) {
  const auto expected = referenceLines(bytes);
  const std::vector<QByteArrayView> lines = splitLines(bytes);
  if (lines.size() != expected.size()) return QStringLiteral("splitLines: wrong line count");
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].data() - bytes.data() != expected[i].first ||
        lines[i].size() != expected[i].second) {
      return QStringLiteral("splitLines: line %1 in the wrong place").arg(i);
    }
  }
  const QString latin = QString::fromLatin1(bytes);
  const std::vector<QStringView> chars = splitLines(QStringView(latin));
  if (chars.size() != lines.size()) return QStringLiteral("splitLines on text: wrong count");
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i].data() - latin.constData() != expected[i].first ||
        chars[i].size() != expected[i].second) {
      return QStringLiteral("splitLines on text: line %1 in the wrong place").arg(i);
    }
  }
  return {};
}

QString checkDecoding(QByteArrayView bytes) {
  QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString viaQt = strict.decode(bytes);
  const bool valid = isValidUtf8(bytes);
  if (valid == strict.hasError()) {
    return valid ? QStringLiteral("isValidUtf8 takes what Qt's decoder refuses")
                 : QStringLiteral("isValidUtf8 refuses what Qt's decoder takes");
  }
  if (decodeText(bytes) != (valid ? viaQt : cp1252(bytes))) return QStringLiteral("decodeText");

  // Line by line as the loader decodes, fields taken at every comma.
  for (const bool utf8 : {false, true}) {
    LineDecoder decoder(utf8);
    for (QByteArrayView line : splitLines(bytes)) {
      if (utf8 && !isValidUtf8(line)) continue;
      const QString whole = utf8OrCp1252(line, utf8);
      if (decoder.decode(line) != whole) return QStringLiteral("LineDecoder::decode");
      qsizetype from = 0;
      for (qsizetype cut = 0; cut <= line.size(); ++cut) {
        if (cut < line.size() && line[cut] != ',') continue;
        const QByteArrayView field = line.sliced(from, cut - from);
        const qsizetype maxBytes = from % 7 + 1;  // a cut inside a character now and then
        for (const qsizetype most : {field.size(), maxBytes}) {
          // What a cut inside a character gives is left open: the loader cuts past the slot.
          if (utf8 && most < field.size() && (field[most] & 0xC0) == 0x80) continue;
          const QString expected = utf8OrCp1252(field.first(std::min(field.size(), most)), utf8);
          if (decoder.field(field, line, most) != expected) {
            return QStringLiteral("LineDecoder::field at byte %1").arg(from);
          }
        }
        from = cut + 1;
      }
    }
  }
  return {};
}

// The writer encodes piece by piece exactly as each piece encodes on its own, whatever the
// pieces hold, half characters included.
QString checkWriter(QByteArrayView bytes) {
  QString units(bytes.size() / 2, Qt::Uninitialized);
  for (qsizetype i = 0; i < units.size(); ++i) {
    units[i] = QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                           static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  LineWriter writer;
  QByteArray expected;
  QStringEncoder single(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
  qsizetype from = 0;
  for (qsizetype i = 0; i <= units.size(); ++i) {
    if (i < units.size() && units[i] != u',' && units[i] != u'\n') continue;
    const QStringView piece = QStringView(units).sliced(from, i - from);
    if (i < units.size() && units[i] == u'\n') {
      writer.appendLine(piece);
      expected += QByteArray(single.encode(piece)) + QByteArray("\r\n");
    } else {
      writer.append(piece);
      expected += QByteArray(single.encode(piece));
    }
    from = i + 1;
  }
  const QByteArray written = writer.take();
  if (written != expected) return QStringLiteral("LineWriter: pieces encoded out of turn");
  if (!isValidUtf8(written)) return QStringLiteral("LineWriter: not UTF-8");
  return {};
}

// Character by character, case folded: the order the sort promises.
int referenceCompare(QByteArrayView a, QByteArrayView b, bool utf8) {
  const QList<uint> x = utf8OrCp1252(a, utf8).toUcs4();
  const QList<uint> y = utf8OrCp1252(b, utf8).toUcs4();
  for (qsizetype i = 0; i < x.size() && i < y.size(); ++i) {
    const uint fx = QChar::toCaseFolded(static_cast<char32_t>(x[i]));
    const uint fy = QChar::toCaseFolded(static_cast<char32_t>(y[i]));
    if (fx != fy) return fx < fy ? -1 : 1;
  }
  return (x.size() > y.size()) - (y.size() > x.size());
}

QString checkSort(QByteArrayView bytes) {
  const bool utf8 = isValidUtf8(bytes);
  const std::vector<QByteArrayView> lines = splitLines(bytes);
  for (size_t i = 0; i + 1 < lines.size() && i < 64; ++i) {
    const int got = compareIgnoringCase(lines[i], lines[i + 1], utf8);
    const int want = referenceCompare(lines[i], lines[i + 1], utf8);
    if ((got > 0) != (want > 0) || (got < 0) != (want < 0)) {
      return QStringLiteral("compareIgnoringCase on lines %1 and %2").arg(i).arg(i + 1);
    }
  }
  const std::vector<quint32> order = sortOrderIgnoringCase(lines, utf8);
  if (order.size() != lines.size()) return QStringLiteral("sortOrderIgnoringCase: lines lost");
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    const int c = referenceCompare(lines[order[i]], lines[order[i + 1]], utf8);
    // Equal lines keep their order.
    if (c > 0 || (c == 0 && order[i] > order[i + 1])) {
      return QStringLiteral("sortOrderIgnoringCase: lines %1 and %2 out of order")
          .arg(i)
          .arg(i + 1);
    }
  }
  return {};
}

}  // namespace

QString checkTextCodec(QByteArrayView bytes) {
  for (QString (*check)(QByteArrayView) : {checkSplit, checkDecoding, checkWriter, checkSort}) {
    if (QString fault = check(bytes); !fault.isEmpty()) return fault;
  }
  return {};
}

}  // namespace tavelin::fuzz
