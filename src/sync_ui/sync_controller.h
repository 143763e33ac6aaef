#pragma once

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "record_store/change_set.h"
#include "sync/change_journal.h"
#include "sync/password_lookup.h"
#include "sync/runner_factory.h"
#include "sync/sync_settings.h"

class QWidget;

namespace tavelin {
class RecordView;
}
namespace tavelin::platform {
class Platform;
}

namespace tavelin::sync_ui {

// When the window syncs with the server and what the user hears of it: once at start, a few
// seconds after every save of this copy, every Interval minutes, and on demand; one sync at a
// time. A sync is quiet unless it needs the user: contacts kept twice after a conflict, an
// error, or a password to ask for. The store's change listener: it passes every save on to
// the change journal.
class SyncController final : public QObject, public ChangeListener {
  Q_OBJECT

 public:
  static constexpr int kAfterSaveSeconds = 5;
  static constexpr int kTickMs = 1000;

  SyncController(platform::Platform& platform, RecordView& view, const QString& dataFile,
                 sync::SyncRunnerFactory makeRunner, QObject* parent = nullptr);
  ~SyncController() override;

  void setRunnerFactory(sync::SyncRunnerFactory makeRunner);
  // Start-up: the first sync at the next tick, and the ticks from now on.
  void begin();
  // What is due by the platform's clock: a sync, or showing what the last one brought.
  void tick();
  // "Synchronise with server": now, and it says so when it cannot.
  void syncNow();
  // "Server account...": the dialog, and on OK the settings and the password saved.
  void editAccount(QWidget* parent);

  void changesApplied(const ChangeSet& applied) override;

  bool isRunning() const { return state_ != State::Idle; }
  // "Synchronising 1200/15000" while a sync runs, else empty.
  const QString& status() const { return status_; }
  std::optional<QDateTime> nextSync() const { return due_; }
  QNetworkAccessManager& network() { return network_; }

 Q_SIGNALS:
  void statusChanged(const QString& status);

 private:
  enum class State { Idle, LookingUp, Running, Telling };
  void request(bool onDemand);
  void passwordFound(const sync::PasswordLookup& lookup);
  // Asks for the password; false when the user declined.
  bool askPassword(const QString& why);
  void run(const QString& password);
  void finished(const sync::SyncOutcome& outcome);
  void retireRunner();
  void scheduleNext();
  void sayOnce(const QString& text);
  bool editing() const;
  void reloadWhenIdle();
  void reload();
  void setStatus(const QString& status);
  void accountSaved(const sync::SyncSettings& settings, const QString& password);
  QDateTime now() const;

  platform::Platform& platform_;
  RecordView& view_;
  QString dataFile_;
  sync::SyncRunnerFactory makeRunner_;
  sync::ChangeJournal journal_;
  QNetworkAccessManager network_;
  QTimer ticker_;

  State state_ = State::Idle;
  bool onDemand_ = false;
  sync::SyncSettings settings_;  // of the sync that runs
  sync::PasswordLookup::Source passwordSource_ = sync::PasswordLookup::Source::Missing;
  std::unique_ptr<sync::CardDavClient> client_;
  std::unique_ptr<sync::SyncRunner> runner_;
  std::optional<QDateTime> due_;
  bool savedDuringSync_ = false;
  bool pendingReload_ = false;
  // A password typed this run, for the account it was typed for: without a secret store it
  // is asked once per run.
  std::optional<QString> typedPassword_;
  QString typedFor_;
  bool storeAvailable_ = true;
  // The user cancelled the password box: no sync by itself until asked for or set up anew.
  bool passwordDeclined_ = false;
  QString lastError_;  // told already; the same error again is not told again unless asked
  QString status_;
};

}  // namespace tavelin::sync_ui
