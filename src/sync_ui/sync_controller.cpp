#include "sync_ui/sync_controller.h"

#include <QPointer>

#include "contracts/field.h"
#include "contracts/record_view.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "platform/secret_store.h"
#include "sync_ui/account_dialog.h"

namespace tavelin::sync_ui {

namespace {

const QString kTitle = QStringLiteral("Synchronise with server");

}  // namespace

SyncController::SyncController(platform::Platform& platform, RecordView& view,
                               const QString& dataFile, sync::SyncRunnerFactory makeRunner,
                               QObject* parent)
    : QObject(parent),
      platform_(platform),
      view_(view),
      dataFile_(dataFile),
      makeRunner_(std::move(makeRunner)),
      journal_(dataFile) {
  ticker_.setInterval(kTickMs);
  connect(&ticker_, &QTimer::timeout, this, &SyncController::tick);
}

SyncController::~SyncController() {
  // The runner goes before the client it works through.
  runner_.reset();
  client_.reset();
}

QDateTime SyncController::now() const {
  return platform_.clock().now();
}

void SyncController::begin() {
  due_ = now();
  ticker_.start();
}

void SyncController::tick() {
  if (state_ == State::Telling) return;
  if (pendingReload_ && !editing()) reload();
  if (state_ == State::Idle && due_ && now() >= *due_) request(false);
}

void SyncController::setRunnerFactory(sync::SyncRunnerFactory makeRunner) {
  makeRunner_ = std::move(makeRunner);
}

void SyncController::syncNow() {
  request(true);
}

void SyncController::changesApplied(const ChangeSet& applied) {
  journal_.changesApplied(applied);
  if (state_ != State::Idle) {
    savedDuringSync_ = true;
    return;
  }
  const QDateTime soon = now().addSecs(kAfterSaveSeconds);
  if (!due_ || soon < *due_) due_ = soon;
}

void SyncController::request(bool onDemand) {
  if (state_ != State::Idle) return;
  due_.reset();
  settings_ = sync::readSyncSettings(platform_.settings());
  if (!settings_.configured()) {
    if (onDemand) {
      platform::showMessage(platform_.dialogs(),
                            QStringLiteral("No server account is set up: choose \"Server "
                                           "account...\" in the Extra menu first."),
                            platform::Buttons::Ok, platform::Icon::Information, kTitle);
    }
    return;
  }
  if (!makeRunner_) {
    if (onDemand) {
      platform::showMessage(platform_.dialogs(),
                            QStringLiteral("This copy of Tavelin cannot synchronise."),
                            platform::Buttons::Ok, platform::Icon::Exclamation, kTitle);
    }
    return;
  }
  if (onDemand) passwordDeclined_ = false;
  if (passwordDeclined_) return;
  onDemand_ = onDemand;
  state_ = State::LookingUp;
  if (settings_.passwordFile.isEmpty() && typedPassword_ &&
      typedFor_ == settings_.secretAccount()) {
    passwordSource_ = sync::PasswordLookup::Source::Missing;
    run(*typedPassword_);
    return;
  }
  QPointer<SyncController> alive(this);
  sync::lookUpPassword(settings_, platform_.secrets(), [alive](sync::PasswordLookup lookup) {
    if (alive) alive->passwordFound(lookup);
  });
}

void SyncController::passwordFound(const sync::PasswordLookup& lookup) {
  using Source = sync::PasswordLookup::Source;
  passwordSource_ = lookup.source;
  storeAvailable_ = lookup.storeAvailable;
  switch (lookup.source) {
    case Source::File:
    case Source::SecretStore:
      run(lookup.password);
      return;
    case Source::Refused:
      state_ = State::Idle;
      scheduleNext();
      sayOnce(lookup.error);
      return;
    case Source::Missing:
      if (askPassword(QString())) {
        run(*typedPassword_);
      } else {
        state_ = State::Idle;
      }
      return;
  }
}

bool SyncController::askPassword(const QString& why) {
  const State was = state_;
  state_ = State::Telling;
  const QUrl server = settings_.serverUrl();
  QString prompt = QStringLiteral("Password for %1 on %2:").arg(settings_.user, server.host());
  if (!why.isEmpty()) prompt = why + QStringLiteral("\n\n") + prompt;
  const std::optional<QString> typed = platform_.dialogs().password(prompt, kTitle);
  state_ = was;
  if (!typed || typed->isEmpty()) {
    passwordDeclined_ = true;
    return false;
  }
  typedPassword_ = *typed;
  typedFor_ = settings_.secretAccount();
  if (storeAvailable_) {
    // Kept for the next run too; when the store fails it is still kept for this one.
    platform_.secrets().write(sync::kSecretService, typedFor_, *typed,
                              [](const platform::SecretResult&) {});
  }
  return true;
}

void SyncController::run(const QString& password) {
  sync::DavAccount account;
  account.url = settings_.serverUrl();
  account.user = settings_.user;
  account.password = password;
  account.trustedSha256 = settings_.trustedSha256;
  account.allowInsecureHttp = settings_.allowsPlainHttp();
  client_ = std::make_unique<sync::CardDavClient>(network_, account);
  runner_ = makeRunner_(dataFile_, *client_);
  if (!runner_) {
    client_.reset();
    state_ = State::Idle;
    return;
  }
  connect(runner_.get(), &sync::SyncRunner::progress, this, [this](int done, int total) {
    setStatus(total > 0 ? QStringLiteral("Synchronising %1/%2").arg(done).arg(total)
                        : QStringLiteral("Synchronising"));
  });
  connect(runner_.get(), &sync::SyncRunner::finished, this, &SyncController::finished);
  state_ = State::Running;
  setStatus(QStringLiteral("Synchronising"));
  runner_->start();
}

void SyncController::retireRunner() {
  // finished is still being delivered by the runner: it goes once that is over.
  if (runner_) runner_.release()->deleteLater();
  if (client_) client_.release()->deleteLater();
}

void SyncController::scheduleNext() {
  due_.reset();
  if (settings_.intervalMinutes > 0) due_ = now().addSecs(qint64(settings_.intervalMinutes) * 60);
  if (std::exchange(savedDuringSync_, false)) {
    const QDateTime soon = now().addSecs(kAfterSaveSeconds);
    if (!due_ || soon < *due_) due_ = soon;
  }
}

void SyncController::finished(const sync::SyncOutcome& outcome) {
  retireRunner();
  state_ = State::Idle;
  setStatus(QString());
  scheduleNext();
  const sync::SyncSummary& s = outcome.summary;
  if (s.addedHere + s.changedHere + s.removedHere + s.conflicts > 0) reloadWhenIdle();

  if (outcome.succeeded) {
    lastError_.clear();
    if (s.conflicts > 0) {
      state_ = State::Telling;
      platform::showMessage(
          platform_.dialogs(),
          sync::summaryLine(s) +
              QStringLiteral("\n\nContacts edited both here and on the server since the last "
                             "sync are kept as two contacts: keep the right one and delete the "
                             "other."),
          platform::Buttons::Ok, platform::Icon::Information, kTitle);
      state_ = State::Idle;
    }
    return;
  }
  using Source = sync::PasswordLookup::Source;
  if (outcome.failure.outcome == sync::DavOutcome::AuthenticationFailed &&
      passwordSource_ != Source::File) {
    typedPassword_.reset();
    state_ = State::LookingUp;
    if (askPassword(outcome.error)) {
      passwordSource_ = Source::Missing;
      run(*typedPassword_);
    } else {
      state_ = State::Idle;
    }
    return;
  }
  sayOnce(outcome.error.isEmpty() ? describe(outcome.failure.outcome) : outcome.error);
}

// An error a sync by itself has met before stays quiet: the server that is down all afternoon
// is told once, not every fifteen minutes.
void SyncController::sayOnce(const QString& text) {
  if (!onDemand_ && text == lastError_) return;
  lastError_ = text;
  const State was = state_;
  state_ = State::Telling;
  platform::showMessage(platform_.dialogs(), text, platform::Buttons::Ok,
                        platform::Icon::Exclamation, kTitle);
  state_ = was;
}

// An edit in progress keeps its fields: the list follows once it is saved or cancelled.
bool SyncController::editing() const {
  return view_.isAddingOrEditing() || view_.isCancelShown();
}

void SyncController::reloadWhenIdle() {
  if (editing()) {
    pendingReload_ = true;
  } else {
    reload();
  }
}

void SyncController::reload() {
  pendingReload_ = false;
  const int row = view_.selectedRow();
  const QString name = row >= 0 && row < view_.recordCount()
                           ? view_.recordValue(row, Field::FullName).toString()
                           : QString();
  view_.reload();
  // The same contact stays selected where it is still there, else the same row.
  int select = row;
  for (int r = 0; !name.isEmpty() && r < view_.recordCount(); ++r) {
    if (view_.recordValue(r, Field::FullName) == name) {
      select = r;
      break;
    }
  }
  view_.selectRow(select);
  view_.showSelectedRecord();
}

void SyncController::setStatus(const QString& status) {
  if (status == status_) return;
  status_ = status;
  Q_EMIT statusChanged(status_);
}

void SyncController::editAccount(QWidget* parent) {
  const sync::SyncSettings settings = sync::readSyncSettings(platform_.settings());
  QPointer<SyncController> alive(this);
  QPointer<QWidget> window(parent);
  const auto open = [alive, window, settings](const QString& password) {
    if (!alive) return;
    AccountDialog dialog(alive->platform_.dialogs(), alive->network_, settings, password,
                         window.data());
    if (dialog.exec() == QDialog::Accepted) {
      alive->accountSaved(dialog.settings(), dialog.password());
    }
  };
  if (typedPassword_ && typedFor_ == settings.secretAccount()) {
    open(*typedPassword_);
    return;
  }
  if (!settings.configured()) {
    open(QString());
    return;
  }
  sync::lookUpPassword(settings, platform_.secrets(),
                       [open](sync::PasswordLookup lookup) { open(lookup.password); });
}

void SyncController::accountSaved(const sync::SyncSettings& settings, const QString& password) {
  if (!sync::writeSyncSettings(platform_.settings(), settings)) {
    platform::showMessage(platform_.dialogs(),
                          QStringLiteral("Tavelin.ini: the server account could not be saved."),
                          platform::Buttons::Ok, platform::Icon::Exclamation, kTitle);
    return;
  }
  passwordDeclined_ = false;
  lastError_.clear();
  if (!password.isEmpty() && settings.passwordFile.isEmpty()) {
    typedPassword_ = password;
    typedFor_ = settings.secretAccount();
    platform_.secrets().write(sync::kSecretService, typedFor_, password,
                              [](const platform::SecretResult&) {});
  }
  if (settings.configured()) due_ = now();
}

}  // namespace tavelin::sync_ui
