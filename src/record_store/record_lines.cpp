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
  QString line;
  for (int k = 0; k < kFieldCount; ++k) {
    if (k > 0) line += QLatin1Char(',');
    line += QLatin1Char('"') + ReplaceQuotes(typed[k]) + QLatin1Char('"');
  }
  return line;
}

}  // namespace tavelin
