#include "mail/send_via_outlook.h"

#include "contracts/field.h"
#include "contracts/record_view.h"
#include "platform/dialogs.h"
#include "platform/mail_transport.h"

namespace tavelin::mail {
namespace {

QString quotedName(QString name) {
  name.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  name.replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + name + QLatin1Char('"');
}

}  // namespace

QString resolveRecipient(const QString& recipient, const RecordList& records) {
  if (recipient.contains(QLatin1Char('@'))) return recipient;
  const QString wanted = recipient.trimmed();
  if (wanted.isEmpty()) return {};
  for (int row = 0; row < records.recordCount(); ++row) {
    const QStringView name = records.recordValue(row, Field::FullName);
    const QStringView address = records.recordValue(row, Field::EMail);
    if (!address.isEmpty() && name.compare(wanted, Qt::CaseInsensitive) == 0) {
      return quotedName(name.toString()) + QStringLiteral(" <") + address + QLatin1Char('>');
    }
  }
  return {};
}

bool SendViaOutlook(const QString& subject, const QString& recipient, const QString& body,
                    platform::MailTransport& transport, platform::Dialogs& dialogs,
                    const RecordList& records) {
  const QString address = resolveRecipient(recipient, records);
  QString error;
  if (!address.isEmpty() && transport.send({address, subject, body}, &error)) return true;
  platform::showMessage(dialogs, QStringLiteral("OUTLOOK could not recognise\r\n") + recipient,
                        platform::Buttons::Ok, platform::Icon::Critical);
  return false;
}

}  // namespace tavelin::mail
