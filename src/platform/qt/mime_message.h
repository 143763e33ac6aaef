#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

#include "platform/mail_transport.h"

namespace tavelin::platform {

// The message as RFC 5322 text with LF line ends, the way sendmail reads it: To, Subject,
// Date, Message-Id, MIME 1.0, a text/plain body in UTF-8 with a transfer encoding that keeps
// every line within the standard's limits. Non-ASCII words are RFC 2047 encoded. CR and LF in
// To and Subject become blanks, so they never start a header of their own.
// Nothing when the recipient is not an address.
std::optional<QByteArray> buildMimeMessage(const OutgoingMail& mail, const QDateTime& date);

}  // namespace tavelin::platform
