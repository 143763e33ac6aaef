#include "record_store/record_lines.h"

namespace tavelin {

QString ReplaceQuotes(QStringView text) {
  QString out = text.toString();
  out.replace(QLatin1Char('"'), QLatin1Char('\''));
  return out;
}

QStringView trimBlanks(QStringView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.sliced(begin, end - begin);
}

QString BuildLineFromFields(const FieldTexts& typed) {
  // One allocation for the line: imports build thousands of them.
  qsizetype size = 3 * kFieldCount;
  for (const QString& text : typed) size += text.size();
  QString line;
  line.reserve(size);
  for (int k = 0; k < kFieldCount; ++k) {
    if (k > 0) line += QLatin1Char(',');
    line += QLatin1Char('"');
    const qsizetype start = line.size();
    line += typed[k];
    for (qsizetype i = start; i < line.size(); ++i) {
      if (line[i] == u'"') line[i] = u'\'';
    }
    line += QLatin1Char('"');
  }
  return line;
}

}  // namespace tavelin
