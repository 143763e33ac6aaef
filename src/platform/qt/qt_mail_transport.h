#pragma once

#include "platform/mail_transport.h"

namespace tavelin::platform {

class SettingsStore;

// Hands the message to a sendmail-compatible program on its standard input: settings
// Platform/Sendmail, default "/usr/sbin/sendmail -t -oi", started without a shell. Exit
// status 0 within the time limit is success; a program that hangs is killed and has failed.
class QtMailTransport final : public MailTransport {
 public:
  static constexpr int kDefaultTimeoutMs = 60000;
  explicit QtMailTransport(const SettingsStore& settings, int timeoutMs = kDefaultTimeoutMs)
      : settings_(settings), timeoutMs_(timeoutMs) {}

  bool send(const OutgoingMail& mail, QString* error) override;

 private:
  const SettingsStore& settings_;
  int timeoutMs_;
};

}  // namespace tavelin::platform
