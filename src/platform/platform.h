#pragma once

#include <QString>
#include <memory>

namespace tavelin::platform {

class Clipboard;
class Clock;
class Dialogs;
class Launcher;
class MailTransport;
class Printer;
class Registry;
class SecretStore;
class SerialPort;
class SettingsStore;

// Everything the program needs from the operating system, behind one interface:
// the Qt/Linux implementation for the program, a scripted fake for the tests.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual Dialogs& dialogs() = 0;
  virtual Clock& clock() = 0;
  virtual SettingsStore& settings() = 0;
  // One launcher for every program the subsystems start.
  virtual Launcher& launcher() = 0;
  // Where the mail editor's messages go.
  virtual MailTransport& mailTransport() = 0;
  // The one printer of the run: the printer and font chosen hold until the program ends.
  virtual Printer& printer() = 0;
  virtual Clipboard& clipboard() = 0;
  // The system's settings registry (read only), where the system-information tool is found.
  virtual Registry& registry() = 0;
  // The desktop's password store (the sync account's password).
  virtual SecretStore& secrets() = 0;

  // The folder that holds "malvek/tavelin" (the options and work files).
  virtual QString configRoot() const = 0;

  virtual std::unique_ptr<SerialPort> createSerialPort() = 0;
  // The device that port number N opens: setting Platform/ComN when set, else /dev/ttyS<N-1>.
  QString serialDevice(int portNumber);

  // Processes pending window-system events once (the "let the window paint" steps).
  virtual void processEvents() = 0;
};

// The Qt/Linux platform.
std::unique_ptr<Platform> createPlatform();

}  // namespace tavelin::platform
