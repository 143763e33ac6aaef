#pragma once

#include <QByteArray>
#include <QString>

namespace tavelin::platform {

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
enum class FlowControl { None, XonXoff, RtsCts };

struct LineSettings {
  int baudRate = 9600;
  Parity parity = Parity::None;
  int dataBits = 8;
  StopBits stopBits = StopBits::One;
};

// One serial device. Reads never wait.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Opens the device; on failure returns false and puts the system's text into *error.
  virtual bool open(const QString& device, const LineSettings& line, FlowControl flow,
                    QString* error) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual bool write(const QByteArray& bytes) = 0;
  // Everything received so far and not yet read; possibly nothing.
  virtual QByteArray readAvailable() = 0;
};

}  // namespace tavelin::platform
