#include "mail/mail_text.h"

namespace tavelin::mail {

QString CleanText(QStringView selection) {
  QString result;
  result.reserve(selection.size());
  for (const QChar c : selection) {
    if (c.unicode() >= 9 && c.unicode() < 128) result += c;
  }
  return result;
}

QString JoinLines(QStringView selection) {
  QString result;
  result.reserve(selection.size());
  for (const QChar c : selection) {
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      while (result.endsWith(QLatin1Char(' '))) result.chop(1);
      result += QLatin1Char(' ');
    } else {
      result += c;
    }
  }
  return result;
}

QStringView trimSpaces(QStringView text) {
  while (text.startsWith(QLatin1Char(' '))) text = text.mid(1);
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}

QString ApplyGreeting(QStringView text, QStringView fullName, QStringView storedSignOff) {
  QString signOff = trimSpaces(storedSignOff).toString();
  signOff.replace(QLatin1Char('|'), QLatin1String("\r\n"));
  return QStringLiteral("Hello ") + fullName + QStringLiteral(",\r\n\r\n") + text + signOff;
}

QString InsertDateTime(const QDateTime& now, const QLocale& locale) {
  return locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral(" at ") +
         locale.toString(now.time(), QLocale::ShortFormat) + QLatin1Char(' ');
}

}  // namespace tavelin::mail
