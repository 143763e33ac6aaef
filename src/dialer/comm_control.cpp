#include "dialer/comm_control.h"

#include <QFileInfo>

#include "dialer/line_settings.h"
#include "platform/platform.h"

namespace tavelin::dialer {
namespace {

CommError invalidValue() {
  return {kInvalidPropertyValue, QStringLiteral("Invalid property value")};
}

CommError alreadyOpen() {
  return {kPortAlreadyOpen, QStringLiteral("Port already open")};
}

platform::FlowControl flowFor(qint64 handshaking) {
  switch (handshaking) {
    case kHandshakeXonXoff:
      return platform::FlowControl::XonXoff;
    case kHandshakeRtsCts:
    case kHandshakeRtsCtsXonXoff:
      return platform::FlowControl::RtsCts;
    default:
      return platform::FlowControl::None;
  }
}

}  // namespace

CommControl::CommControl(platform::Platform& platform)
    : platform_(platform),
      port_(platform.createSerialPort()),
      settingsText_(QStringLiteral("9600,n,8,1")),
      line_(*parseLineSettings(settingsText_)) {}

CommControl::~CommControl() {
  if (port_->isOpen()) port_->close();
}

std::optional<CommError> CommControl::setSettings(const QString& text) {
  const auto line = parseLineSettings(text);
  if (!line) return invalidValue();
  settingsText_ = text;
  line_ = *line;
  return std::nullopt;
}

QString CommControl::settings() const {
  return settingsText_;
}

std::optional<CommError> CommControl::setCommPort(int port) {
  if (port < 1) return invalidValue();
  if (port_->isOpen()) return alreadyOpen();
  commPort_ = port;
  return std::nullopt;
}

int CommControl::commPort() const {
  return commPort_;
}

std::optional<CommError> CommControl::setHandshaking(qint64 mode) {
  if (mode < kHandshakeNone || mode > kHandshakeRtsCtsXonXoff) return invalidValue();
  handshaking_ = mode;
  return std::nullopt;
}

qint64 CommControl::handshaking() const {
  return handshaking_;
}

std::optional<CommError> CommControl::setPortOpen(bool open) {
  if (!open) {
    port_->close();
    return std::nullopt;
  }
  if (port_->isOpen()) return alreadyOpen();

  // Read the device name now: the Platform/ComN setting may have changed since start-up.
  const QString device = platform_.serialDevice(commPort_);
  QString error;
  if (port_->open(device, line_, flowFor(handshaking_), &error)) return std::nullopt;
  const int number = QFileInfo::exists(device) ? kDeviceUnavailable : kPortMissing;
  return CommError{number, error};
}

bool CommControl::portOpen() const {
  return port_->isOpen();
}

std::optional<CommError> CommControl::setOutput(const QString& text) {
  if (!port_->isOpen()) {
    return CommError{kPortNotOpen, QStringLiteral("Operation valid only when the port is open")};
  }
  if (!port_->write(text.toLatin1())) {
    return CommError{kDeviceUnavailable, QStringLiteral("The device did not accept the data")};
  }
  return std::nullopt;
}

QString CommControl::input() {
  if (!port_->isOpen()) return {};
  return QString::fromLatin1(port_->readAvailable());
}

}  // namespace tavelin::dialer
