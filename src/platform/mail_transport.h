#pragma once

#include <QString>

namespace tavelin::platform {

// One message as the mail editor hands it over: an address (or "Name <address>"), the
// subject and the body, whose lines may end in CR LF or LF.
struct OutgoingMail {
  QString to;
  QString subject;
  QString body;

  bool operator==(const OutgoingMail&) const = default;
};

// The system's mail transport. send() returns once the transport has taken the message or
// refused it; false, with the reason in *error, when it was not accepted.
class MailTransport {
 public:
  virtual ~MailTransport() = default;
  virtual bool send(const OutgoingMail& mail, QString* error) = 0;
};

}  // namespace tavelin::platform
