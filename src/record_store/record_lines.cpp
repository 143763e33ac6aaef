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

QString quoteAndJoin(const std::array<QStringView, kFieldCount>& texts) {
  qsizetype size = 3 * kFieldCount;
  for (QStringView t : texts) size += t.size();
  QString line;
  line.reserve(size);
  for (int k = 0; k < kFieldCount; ++k) {
    if (k > 0) line += QLatin1Char(',');
    line += QLatin1Char('"');
    line += texts[k];
    line += QLatin1Char('"');
  }
  return line;
}

QString BuildLineFromFields(const FieldTexts& typed) {
  FieldTexts replaced;
  std::array<QStringView, kFieldCount> views;
  for (int k = 0; k < kFieldCount; ++k) {
    replaced[k] = ReplaceQuotes(typed[k]);
    views[k] = replaced[k];
  }
  return quoteAndJoin(views);
}

}  // namespace tavelin
