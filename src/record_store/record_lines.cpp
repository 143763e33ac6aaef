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
  // One allocation for the line, written through a pointer: imports build thousands of them.
  qsizetype size = 3 * kFieldCount - 1;
  for (const QString& text : typed) size += text.size();
  QString line(size, Qt::Uninitialized);
  QChar* dst = line.data();
  for (int k = 0; k < kFieldCount; ++k) {
    if (k > 0) *dst++ = u',';
    *dst++ = u'"';
    for (const QChar c : typed[k]) *dst++ = c == u'"' ? QChar(u'\'') : c;
    *dst++ = u'"';
  }
  return line;
}

}  // namespace tavelin
