#pragma once

#include <QDateTime>
#include <QMap>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_printer.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_secret_store.h"
#include "platform/launcher.h"
#include "platform/mail_transport.h"
#include "platform/platform.h"
#include "platform/settings_store.h"

namespace tavelin::platform {

// Answers boxes from queues and records what was shown. With an empty queue a message box
// answers its default button and an input box answers the empty text (Cancel).
class FakeDialogs final : public Dialogs {
 public:
  Button message(const Message& message) override;
  QString input(const QString& prompt, const QString& title, const QString& proposed) override;
  // From passwordAnswers; an empty queue is Cancel.
  std::optional<QString> password(const QString& prompt, const QString& title) override;
  // File and font dialogs answer from their queues; an empty queue is Cancel.
  std::optional<QString> openFileName(const FileRequest& request) override;
  std::optional<QString> saveFileName(const FileRequest& request) override;
  // A save with its filter: the path from fileAnswers, the filter from filterAnswers (the
  // first filter when that queue is empty).
  std::optional<FileChoice> saveFileChoice(const FileRequest& request) override;
  std::optional<FontChoice> chooseFont(const FontChoice& preset) override;

  std::deque<std::optional<QString>> fileAnswers;  // open and save dialogs alike
  std::deque<QString> filterAnswers;
  std::deque<std::optional<FontChoice>> fontAnswers;
  std::vector<FileRequest> openRequests, saveRequests;
  std::vector<FontChoice> fontPresets;

  struct Input {
    QString prompt, title, proposed;
  };
  std::deque<Button> answers;
  std::deque<QString> inputAnswers;
  std::deque<std::optional<QString>> passwordAnswers;
  QStringList passwordPrompts;
  std::vector<Message> shown;
  std::vector<Input> inputsShown;
  // Runs while a box is "open", before it answers: lets a test act during a modal box.
  std::function<void(const Message&)> whileOpen;

  QStringList texts() const;
  void clear();
};

class FakeClock final : public Clock {
 public:
  QDateTime now() const override { return time; }
  QDateTime time{QDate(2026, 1, 2), QTime(9, 5, 0)};
};

class FakeSettingsStore final : public SettingsStore {
 public:
  QString value(const QString& group, const QString& key) const override {
    return values.value(group + QLatin1Char('/') + key);
  }
  bool setValue(const QString& group, const QString& key, const QString& value) override {
    if (!writable) return false;
    if (value.isEmpty()) {
      values.remove(group + QLatin1Char('/') + key);
    } else {
      values.insert(group + QLatin1Char('/') + key, value);
    }
    return true;
  }
  QMap<QString, QString> values;  // "Group/Key" -> text
  bool writable = true;
};

// Records what would have been started. findProgram knows the names in onPath; a program
// named in failing does not start.
class FakeLauncher final : public Launcher {
 public:
  bool start(const QString& program, const QStringList& arguments) override;
  QString findProgram(const QString& name) const override { return onPath.value(name); }

  struct Start {
    QString program;
    QStringList arguments;
  };
  std::vector<Start> started;
  QMap<QString, QString> onPath;  // name -> full path
  QStringList failing;
};

// Records the messages handed over; refuses them while accepting is false.
class FakeMailTransport final : public MailTransport {
 public:
  bool send(const OutgoingMail& mail, QString* error) override;

  std::vector<OutgoingMail> sent;  // every message offered, accepted or not
  bool accepting = true;
};

// Fakes for every service but the serial port, which is the real one (tests use a
// pseudo-terminal) and the event processing, which is Qt's.
class FakePlatform final : public Platform {
 public:
  explicit FakePlatform(QString configRoot) : configRoot_(std::move(configRoot)) {}

  Dialogs& dialogs() override { return fakeDialogs; }
  Clock& clock() override { return fakeClock; }
  SettingsStore& settings() override { return fakeSettings; }
  Launcher& launcher() override { return fakeLauncher; }
  MailTransport& mailTransport() override { return fakeMailTransport; }
  Printer& printer() override { return fakePrinter; }
  Clipboard& clipboard() override { return fakeClipboard; }
  Registry& registry() override { return fakeRegistry; }
  SecretStore& secrets() override { return fakeSecrets; }
  QString configRoot() const override { return configRoot_; }
  std::unique_ptr<SerialPort> createSerialPort() override;
  void processEvents() override;

  FakeDialogs fakeDialogs;
  FakeClock fakeClock;
  FakeSettingsStore fakeSettings;
  FakeLauncher fakeLauncher;
  FakeMailTransport fakeMailTransport;
  FakePrinter fakePrinter;
  FakeClipboard fakeClipboard;
  FakeRegistry fakeRegistry;
  FakeSecretStore fakeSecrets;

 private:
  QString configRoot_;
};

}  // namespace tavelin::platform
