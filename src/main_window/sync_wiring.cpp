// The Extra menu's sync items and the sync's triggers: sync_ui::SyncController does the work.
#include <QAction>

#include "main_window/mainform.h"
#include "sync_ui/sync_controller.h"

namespace tavelin::main_window {

void Mainform::connectSync() {
  sync_ = std::make_unique<sync_ui::SyncController>(platform_, *this, store_.dataFile(),
                                                    sync::SyncRunnerFactory());
  // Every save goes through it to the change journal, and calls for a sync soon after.
  store_.setChangeListener(sync_.get());
  connect(sync_.get(), &sync_ui::SyncController::statusChanged, this,
          [this](const QString& status) { SyncStatus = status; });
  connect(menuItem(QStringLiteral("mnuSync")), &QAction::triggered, this,
          [this] { sync_->syncNow(); });
  connect(menuItem(QStringLiteral("mnuAccount")), &QAction::triggered, this,
          [this] { sync_->editAccount(this); });
}

void Mainform::setSyncRunnerFactory(sync::SyncRunnerFactory makeRunner) {
  sync_->setRunnerFactory(std::move(makeRunner));
}

}  // namespace tavelin::main_window
