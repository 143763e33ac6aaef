#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringList>

#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/qt/keychain_secret_store.h"
#include "platform/qt/linux_registry.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_launcher.h"
#include "platform/qt/qt_mail_transport.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/settings_store.h"

namespace tavelin::platform {
namespace {

class QtClock final : public Clock {
 public:
  QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class QtPlatform final : public Platform {
 public:
  Dialogs& dialogs() override { return dialogs_; }
  Clock& clock() override { return clock_; }
  SettingsStore& settings() override { return settings_; }
  Launcher& launcher() override { return launcher_; }
  MailTransport& mailTransport() override { return mailTransport_; }
  Printer& printer() override { return printer_; }
  Clipboard& clipboard() override { return clipboard_; }
  Registry& registry() override { return registry_; }
  SecretStore& secrets() override { return secrets_; }
  QString configRoot() const override {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  }
  std::unique_ptr<SerialPort> createSerialPort() override {
    return std::make_unique<QtSerialPort>();
  }
  void processEvents() override { QCoreApplication::processEvents(); }

 private:
  QtDialogs dialogs_;
  QtClock clock_;
  QtSettingsStore settings_;
  QtLauncher launcher_;
  QtMailTransport mailTransport_{settings_};
  QtPrinter printer_{settings_};
  QtClipboard clipboard_;
  LinuxRegistry registry_{launcher_};
  KeychainSecretStore secrets_;
};

}  // namespace

std::unique_ptr<Platform> createPlatform() {
  return std::make_unique<QtPlatform>();
}

}  // namespace tavelin::platform
