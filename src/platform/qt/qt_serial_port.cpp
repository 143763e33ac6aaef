#include "platform/qt/qt_serial_port.h"

namespace tavelin::platform {
namespace {

QSerialPort::Parity toQt(Parity p) {
  switch (p) {
    case Parity::None:
      return QSerialPort::NoParity;
    case Parity::Even:
      return QSerialPort::EvenParity;
    case Parity::Odd:
      return QSerialPort::OddParity;
    case Parity::Mark:
      return QSerialPort::MarkParity;
    case Parity::Space:
      return QSerialPort::SpaceParity;
  }
  return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(StopBits s) {
  switch (s) {
    case StopBits::One:
      return QSerialPort::OneStop;
    case StopBits::OneAndHalf:
      return QSerialPort::OneAndHalfStop;
    case StopBits::Two:
      return QSerialPort::TwoStop;
  }
  return QSerialPort::OneStop;
}

QSerialPort::FlowControl toQt(FlowControl f) {
  switch (f) {
    case FlowControl::None:
      return QSerialPort::NoFlowControl;
    case FlowControl::XonXoff:
      return QSerialPort::SoftwareControl;
    case FlowControl::RtsCts:
      return QSerialPort::HardwareControl;
  }
  return QSerialPort::NoFlowControl;
}

}  // namespace

bool QtSerialPort::open(const QString& device, const LineSettings& line, FlowControl flow,
                        QString* error) {
  port_.setPortName(device);
  if (!port_.open(QIODevice::ReadWrite)) {
    if (error) *error = port_.errorString();
    return false;
  }
  // A pseudo-terminal accepts some settings and refuses others; the line is usable either way.
  port_.setBaudRate(line.baudRate);
  port_.setParity(toQt(line.parity));
  port_.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits));
  port_.setStopBits(toQt(line.stopBits));
  port_.setFlowControl(toQt(flow));
  port_.clearError();
  return true;
}

void QtSerialPort::close() {
  port_.close();
}

bool QtSerialPort::isOpen() const {
  return port_.isOpen();
}

bool QtSerialPort::write(const QByteArray& bytes) {
  if (port_.write(bytes) != bytes.size()) return false;
  port_.waitForBytesWritten(1000);
  return true;
}

QByteArray QtSerialPort::readAvailable() {
  port_.waitForReadyRead(0);  // pull what the system has without waiting
  return port_.readAll();
}

}  // namespace tavelin::platform
