#include "mail/send_via_outlook.h"

#include "platform/dialogs.h"
#include "platform/mail_transport.h"
#include "record_store/record_lines.h"
#include "record_store/record_table.h"

namespace tavelin::mail {
namespace {

constexpr int kFullName = 0;
constexpr int kEMail = 8;

QString quotedName(QString name) {
  name.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  name.replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + name + QLatin1Char('"');
}

}  // namespace

QString resolveRecipient(const QString& recipient, const RecordTable& table) {
  if (recipient.contains(QLatin1Char('@'))) return recipient;
  const QString wanted = recipient.trimmed();
  if (wanted.isEmpty()) return {};
  for (int row = 0; row < table.rowCount(); ++row) {
    const QStringView name = table.value(row, kFullName);
    const QStringView address = table.value(row, kEMail);
    if (!address.isEmpty() && name.compare(wanted, Qt::CaseInsensitive) == 0) {
      return quotedName(name.toString()) + QStringLiteral(" <") + address + QLatin1Char('>');
    }
  }
  return {};
}

bool SendViaOutlook(const QString& subject, const QString& recipient, const QString& body,
                    platform::MailTransport& transport, platform::Dialogs& dialogs,
                    const RecordTable& table) {
  const QString address = resolveRecipient(recipient, table);
  QString error;
  if (!address.isEmpty() && transport.send({address, subject, body}, &error)) return true;
  platform::showMessage(dialogs, QStringLiteral("OUTLOOK could not recognise\r\n") + recipient,
                        platform::Buttons::Ok, platform::Icon::Critical);
  return false;
}

}  // namespace tavelin::mail
