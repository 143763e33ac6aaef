#include "main_window/mainform.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <QTimer>

#include "attachments/attachments.h"
#include "backup/backup_actions.h"
#include "contracts/window_controls.h"
#include "dialer/dialer.h"
#include "exchange/exchange_actions.h"
#include "mail/mail_and_web.h"
#include "main_window/name_list.h"
#include "options/frm_options.h"
#include "options/options_dialog.h"
#include "output/clipboard_exchange.h"
#include "output/printing.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "record_store/paths.h"
#include "refresher/refresher.h"
#include "search/search.h"
#include "sync_ui/sync_controller.h"
#include "watcher/change_watcher.h"

namespace tavelin::main_window {

using platform::Buttons;
using platform::Icon;

Mainform::Mainform(platform::Platform& platform, QWidget* parent)
    : QMainWindow(parent),
      platform_(platform),
      store_(workFilePath(platform.configRoot())),
      MSComm1_(platform) {
  // The address book is read while the window is built; Form_Load's SortFile takes it.
  store_.Preload();
  frmOptions_ = std::make_unique<options::FrmOptions>();
  setObjectName(QStringLiteral("Mainform"));
  store_.setLockWaitObserver([this](bool waiting) { setBusy(waiting); });
  buildControls();
  buildMenus();
  connectControls();
  connectBackupControls();
  createTimer2();
  connectEditing();
  connectFieldKeys();
  connectSearch();
  connectOutputAndAttachments();
  createTimer1();
  connectDialerAndOptions();
  connectMail();
  connectExchange();
  connectSync();
}

Mainform::~Mainform() = default;

void Mainform::connectControls() {
  connect(List1, &NameList::selectionChangedTo, this, [this] { List1_Click(); });
  connect(List1, &NameList::doubleClickedRow, this, [this] { List1_DblClick(); });
  connect(List1, &NameList::keyDown, this, [this](int key) { List1_KeyDown(key); });
  connect(List1, &NameList::rightButtonDown, this, [this] { List1_MouseDown(Qt::RightButton); });
  connect(menuItem(QStringLiteral("mnuQuit")), &QAction::triggered, this,
          [this] { mnuQuit_Click(); });
  connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
}

// Backup, restore and the file report: backup::BackupActions.
void Mainform::connectBackupControls() {
  backupActions_ = std::make_unique<backup::BackupActions>(platform_, store_, *this);
  backup::BackupActions* b = backupActions_.get();
  const auto onClick = [this](QPushButton* button, std::function<void()> handler) {
    connect(button, &QPushButton::clicked, this, std::move(handler));
  };
  const auto onMenu = [this](const char* item, std::function<void()> handler) {
    connect(menuItem(QLatin1String(item)), &QAction::triggered, this, std::move(handler));
  };
  onClick(Command6, [this] { BackupFile(); });
  onMenu("mnuBack", [this] { BackupFile(); });
  onClick(Command7, [this] { RestoreFile(); });
  onMenu("mnuRest", [this] { RestoreFile(); });
  onMenu("mnuBA", [this] { mnuBA_Click(); });
  onMenu("mnuRA", [this] { mnuRA_Click(); });
  onClick(Command9, [this, b] { b->ShowFileInfo(SearchString); });
  onMenu("mnuInfo", [this, b] { b->ShowFileInfo(SearchString); });
}

void Mainform::BackupFile() {
  backupActions_->BackupFile();
}

void Mainform::RestoreFile() {
  backupActions_->RestoreFile();
}

void Mainform::mnuBA_Click() {
  backupActions_->mnuBA_Click();
}

void Mainform::mnuRA_Click() {
  backupActions_->mnuRA_Click();
}

// The change watcher, every five seconds: watcher::ChangeWatcher.
void Mainform::createTimer2() {
  watcher_ = std::make_unique<watcher::ChangeWatcher>(platform_, store_, *frmOptions_, *this);
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(5000);
  connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
  Timer2->start();
}

void Mainform::Timer2_Timer() {
  watcher_->Timer2_Timer();
}

// Search, find next and clear: search::Search.
void Mainform::connectSearch() {
  search_ =
      std::make_unique<search::Search>(platform_.dialogs(), *frmOptions_, *this, SearchString);
  search::Search* s = search_.get();
  connect(Command8, &QPushButton::clicked, this, [this] { NewSearch(); });
  connect(Command1, &QPushButton::clicked, this, [s] { s->FindNext(); });
  connect(menuItem(QStringLiteral("mnuFind")), &QAction::triggered, this, [this] { NewSearch(); });
  connect(menuItem(QStringLiteral("mnuNext")), &QAction::triggered, this, [s] { s->FindNext(); });
  connect(menuItem(QStringLiteral("mnuClear")), &QAction::triggered, this,
          [s] { s->mnuClear_Click(); });
}

void Mainform::NewSearch() {
  search_->NewSearch();
}

void Mainform::SortFile() {
  listModel_->beginReload();
  const RecordStore::LoadResult result = store_.SortFile();
  listModel_->endReload();
  if (!result.unreadable.isEmpty()) {
    const QString path = QDir::toNativeSeparators(QFileInfo(store_.dataFile()).absoluteFilePath());
    platform::showMessage(platform_.dialogs(),
                          QStringLiteral("The address book \"%1\" could not be read (%2). Its "
                                         "records are not shown, and nothing will be written "
                                         "over it.")
                              .arg(path, result.unreadable),
                          Buttons::Ok, Icon::Critical);
  }
  if (result.limitReached) {
    platform::showMessage(platform_.dialogs(), QStringLiteral("Maximum number of records reached!"),
                          Buttons::Ok, Icon::Critical);
  }
}

void Mainform::reportWriteError(const WriteError& error) {
  const QString path = QDir::toNativeSeparators(QFileInfo(error.fileName).absoluteFilePath());
  platform::showMessage(platform_.dialogs(),
                        QStringLiteral("Could not write the file \"%1\" (%2). Nothing was changed.")
                            .arg(path, error.reason),
                        Buttons::Ok, Icon::Critical);
}

void Mainform::centreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect available = screen->geometry();
  const QSize size = sizeHint();
  move(available.left() + (available.width() - size.width()) / 2,
       available.top() + (available.height() - size.height()) / 2);
}

void Mainform::mnuQuit_Click() {
  EndProgram();
}

void Mainform::Command5_Click() {
  if (Command5->text() != QLatin1String("Clear")) {
    EndProgram();
    return;
  }
  SearchString.clear();
  ShowRecord();
  List1->setFocus();
  Command5->setText(QStringLiteral("Quit"));
}

void Mainform::closeEvent(QCloseEvent* event) {
  event->accept();
  EndProgram();
}

void Mainform::EndProgram() {
  // Every change was written when it was made: nothing to save or ask.
  if (ended_) return;
  ended_ = true;
  hide();
  Q_EMIT programEnded();
}

}  // namespace tavelin::main_window
