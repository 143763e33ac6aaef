#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

#include "platform/serial_port.h"

namespace tavelin::platform {
class Platform;
}

namespace tavelin::dialer {

// A failed property access of MSComm1: the error number and the text to show for it.
struct CommError {
  int number;
  QString text;
};

// Error numbers, those of the old Comm control where one fits.
enum CommErrorNumber : int {
  kInvalidPropertyValue = 380,  // unusable Settings text, Handshaking or CommPort value
  kPortMissing = 8002,          // the device of the port number does not exist
  kPortAlreadyOpen = 8005,      // open while open, or a port change while open
  kDeviceUnavailable = 8010,    // the device exists but cannot be opened, or refused a write
  kPortNotOpen = 8018,          // Output on a closed port
};

// Handshaking values.
enum HandshakingMode : qint64 {
  kHandshakeNone = 0,
  kHandshakeXonXoff = 1,
  kHandshakeRtsCts = 2,
  kHandshakeRtsCtsXonXoff = 3,  // one flow control only on QSerialPort: RTS/CTS wins
};

// The main window's serial-port control MSComm1, as properties. Port number N is the device
// that the platform names for it. Settings and Handshaking given while the port is open take
// effect at the next open: QSerialPort cannot be reconfigured through the platform interface,
// and the program only sets them before the port is first opened.
class CommControl {
 public:
  explicit CommControl(platform::Platform& platform);
  ~CommControl();

  std::optional<CommError> setSettings(const QString& text);
  QString settings() const;

  std::optional<CommError> setCommPort(int port);
  int commPort() const;

  std::optional<CommError> setHandshaking(qint64 mode);
  qint64 handshaking() const;

  // True opens the device of commPort(), false closes it (closing a closed port is fine).
  std::optional<CommError> setPortOpen(bool open);
  bool portOpen() const;

  // Sends the text byte for byte (Latin-1), line ends as given.
  std::optional<CommError> setOutput(const QString& text);
  // Everything received since the last call, possibly nothing; never waits.
  QString input();

 private:
  platform::Platform& platform_;
  std::unique_ptr<platform::SerialPort> port_;
  QString settingsText_;
  platform::LineSettings line_;
  int commPort_ = 1;
  qint64 handshaking_ = kHandshakeNone;
};

}  // namespace tavelin::dialer
