#pragma once

#include <QString>

namespace tavelin {
class RecordList;
}
namespace tavelin::platform {
class Dialogs;
class MailTransport;
}  // namespace tavelin::platform

namespace tavelin::mail {

// The address for a recipient: one with "@" as it stands; a name as the first record whose
// Full Name equals it (case and outer blanks aside) and that has an e-mail gives it, as
// "Full Name" <address>. Empty when no record answers.
QString resolveRecipient(const QString& recipient, const RecordList& records);

// Hands the message to the system's mail transport. On failure shows "OUTLOOK could not
// recognise" with the recipient and returns false.
bool SendViaOutlook(const QString& subject, const QString& recipient, const QString& body,
                    platform::MailTransport& transport, platform::Dialogs& dialogs,
                    const RecordList& records);

}  // namespace tavelin::mail
