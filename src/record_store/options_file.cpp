#include "record_store/options_file.h"

#include "record_store/record_lines.h"
#include "record_store/text_codec.h"

namespace tavelin {

namespace {

constexpr size_t kFlagCount = 8;
constexpr QByteArrayView kLineEnd = "\r\n";

// An integer the way the old print statement wrote it: sign or blank, digits, one blank.
QByteArray printedInteger(int value) {
  QByteArray text(1, value < 0 ? '-' : ' ');
  text.append(QByteArray::number(qAbs(static_cast<qint64>(value)))).append(' ');
  return text;
}

QByteArray formatWithVolume(const OptionValues& values, const QByteArray& volumeLine) {
  QByteArray out;
  const auto line = [&out](const QByteArray& text) { out.append(text).append(kLineEnd); };
  for (const int flag : values.flags) line(printedInteger(flag));
  line(values.port.toUtf8());
  line(values.dialMode == DialMode::Tone ? "T" : "P");
  line(volumeLine);
  return out;
}

// Leading blanks, then the digits; the value counts, so "01" is 1 and "1x" is 1. Compared
// digit by digit so that a long run of digits cannot overflow.
bool readsAsOne(QStringView line) {
  qsizetype i = 0;
  while (i < line.size() && line[i] == u' ') ++i;
  while (i < line.size() && line[i] == u'0') ++i;
  if (i >= line.size() || line[i] != u'1') return false;
  ++i;
  return i == line.size() || line[i] < u'0' || line[i] > u'9';
}

}  // namespace

OptionValues defaultOptions() {
  OptionValues values;
  values.flags = {1, 1, 0, 1, 0, 0, 0, 1};
  values.port = QStringLiteral("Com2");
  values.dialMode = DialMode::Tone;
  values.volume = QStringLiteral("2");
  return values;
}

QByteArray defaultOptionsFile() {
  return formatWithVolume(defaultOptions(), printedInteger(2));
}

QByteArray formatOptions(const OptionValues& values) {
  return formatWithVolume(values, values.volume.toUtf8());
}

OptionValues parseOptions(QByteArrayView bytes) {
  const QString text = decodeText(bytes);
  const std::vector<QStringView> lines = splitLines(text);
  const auto line = [&](size_t index) {
    return index < lines.size() ? lines[index] : QStringView();
  };

  OptionValues values;
  for (size_t i = 0; i < kFlagCount; ++i) values.flags[i] = readsAsOne(line(i)) ? 1 : 0;
  values.port = line(8).toString();
  values.dialMode = line(9) == u"T" ? DialMode::Tone : DialMode::Pulse;
  values.volume = trimBlanks(line(10)).toString();
  return values;
}

}  // namespace tavelin
