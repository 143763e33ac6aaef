#pragma once

#include <QSerialPort>

#include "platform/serial_port.h"

namespace tavelin::platform {

class QtSerialPort final : public SerialPort {
 public:
  bool open(const QString& device, const LineSettings& line, FlowControl flow,
            QString* error) override;
  void close() override;
  bool isOpen() const override;
  bool write(const QByteArray& bytes) override;
  QByteArray readAvailable() override;

 private:
  QSerialPort port_;
};

}  // namespace tavelin::platform
