#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace tavelin::test {

// A Hayes modem on a pseudo-terminal. The program opens device() as its serial port; the
// emulator reads the commands on the other side, records every byte and answers each command
// line (ended by CR) as its mode says. It answers while the event loop runs.
class ModemEmulator final : public QObject {
  Q_OBJECT
 public:
  enum class Mode {
    Answering,         // "OK" CR LF to every command
    Silent,            // no modem on the line
    ResetOnly,         // answers "AT&F..." and nothing else
    OkWithoutLineEnd,  // "OK" without CR LF
  };

  ModemEmulator();
  ~ModemEmulator() override;

  bool isValid() const { return master_ >= 0 && slave_ >= 0; }
  QString device() const { return device_; }
  void setMode(Mode mode) { mode_ = mode; }

  // Every byte the program has sent so far.
  QByteArray received();
  void clear();

 private:
  void readLine();
  void answer(const QByteArray& command);

  int master_ = -1;
  int slave_ = -1;  // held open so the line never hangs up between the program's opens
  QString device_;
  Mode mode_ = Mode::Answering;
  QSocketNotifier* notifier_ = nullptr;
  QByteArray received_;
  QByteArray line_;  // the command being received
};

}  // namespace tavelin::test
