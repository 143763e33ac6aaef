#include "support/modem_emulator.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace tavelin::test {

ModemEmulator::ModemEmulator() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
  device_ = QString::fromLocal8Bit(ptsname(master_));
  slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave_ < 0) return;
  // A raw line: no echo, no CR/LF translation, whatever the program sets.
  termios raw{};
  tcgetattr(slave_, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave_, TCSANOW, &raw);
  notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { readLine(); });
}

ModemEmulator::~ModemEmulator() {
  delete notifier_;
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

QByteArray ModemEmulator::received() {
  readLine();
  return received_;
}

void ModemEmulator::clear() {
  readLine();
  received_.clear();
  line_.clear();
}

void ModemEmulator::readLine() {
  char buffer[256];
  ssize_t n;
  while ((n = ::read(master_, buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < n; ++i) {
      received_ += buffer[i];
      if (buffer[i] == '\r') {
        answer(line_);
        line_.clear();
      } else if (buffer[i] != '\n') {  // an LF after the CR is no part of the next command
        line_ += buffer[i];
      }
    }
  }
}

void ModemEmulator::answer(const QByteArray& command) {
  if (mode_ == Mode::Silent) return;
  QByteArray reply = "\r\nOK";
  if (mode_ == Mode::ResetOnly && !command.startsWith("AT&F")) reply.clear();
  if (mode_ != Mode::OkWithoutLineEnd && !reply.isEmpty()) reply += "\r\n";
  // Echo first, as a modem in factory settings does.
  const QByteArray out = command + '\r' + reply;
  (void)!::write(master_, out.constData(), out.size());
}

}  // namespace tavelin::test
