#include "mail/mailer_status.h"

namespace tavelin::mail {

QString mailerTitle(bool timeOn, bool dateOn, QTime now, const QString& shortDate) {
  QString title = QStringLiteral("Malvek Quilla");
  if (timeOn) {
    title += QStringLiteral(" (%1:%2)")
                 .arg(now.hour(), 2, 10, QLatin1Char('0'))
                 .arg(now.minute(), 2, 10, QLatin1Char('0'));
  }
  if (dateOn) title += QStringLiteral("  (") + shortDate + QLatin1Char(')');
  return title;
}

QString statusLine(qsizetype characters) {
  if (characters >= kMaxMessageLength) {
    return QStringLiteral("WARNING: Maximum Size for Message Text Reached (32Kb).");
  }
  return QStringLiteral("Message Size: %1 Kb").arg(characters / 1024);
}

}  // namespace tavelin::mail
