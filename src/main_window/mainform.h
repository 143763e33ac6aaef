#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

#include "contracts/record_view.h"
#include "dialer/comm_control.h"
#include "record_store/record_store.h"
#include "sync/runner_factory.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace tavelin::platform {
class Platform;
}
namespace tavelin::options {
class FrmOptions;
class OptionsDialog;
}  // namespace tavelin::options
namespace tavelin::dialer {
class Dialer;
}
namespace tavelin::output {
class ClipboardExchange;
class Printing;
}  // namespace tavelin::output
namespace tavelin::attachments {
class Attachments;
}
namespace tavelin::mail {
class MailAndWeb;
}
namespace tavelin::exchange {
class ExchangeActions;
class ExchangeView;
}  // namespace tavelin::exchange
namespace tavelin::backup {
class BackupActions;
}
namespace tavelin::search {
class Search;
}
namespace tavelin::watcher {
class ChangeWatcher;
}
namespace tavelin::refresher {
class Refresher;
}
namespace tavelin::sync_ui {
class SyncController;
}
namespace tavelin {
class WindowControls;
}

namespace tavelin::main_window {

class NameList;
class NameListModel;

// The main window: the name list beside the fourteen fields of the selected record, the nine
// buttons and the menu bar. It owns the record store and the form-level state for the run.
class Mainform final : public QMainWindow, public RecordView {
  Q_OBJECT
 public:
  explicit Mainform(platform::Platform& platform, QWidget* parent = nullptr);
  ~Mainform() override;

  // Start-up: folders, options, serial port, the first load and display, auto-backup.
  void Form_Load();

  // Record store
  void SortFile();
  RecordStore& store() { return store_; }

  // Record display
  void ShowRecord();
  void List1_Click();
  void List1_DblClick();
  void List1_KeyDown(int keyCode);
  void List1_MouseDown(Qt::MouseButton button);
  void SetBrowseMode();

  // Record editing: the browse, add and edit modes
  void SetEditMode();
  void EditRecord();
  void AddRecord();
  void DeleteOrCancel();
  void DeleteRecord();
  void Command2_Click();

  // The fourteen fields share one handler of each kind; field is 0 for Text1.
  void Text_GotFocus(int field);
  void Text_KeyDown(int field, int keyCode);

  // Search (search::Search)
  void NewSearch();

  // Window state refresher, every 500 ms (refresher::Refresher)
  void Timer1_Timer();

  // Backup and restore, on disk and on the removable disk (backup::BackupActions)
  void BackupFile();
  void RestoreFile();
  void mnuBA_Click();
  void mnuRA_Click();

  // Data-file change watcher (watcher::ChangeWatcher)
  void Timer2_Timer();

  // CardDAV sync (sync_ui::SyncController): what runs a sync, given by main() before Form_Load.
  void setSyncRunnerFactory(sync::SyncRunnerFactory makeRunner);
  sync_ui::SyncController& syncController() { return *sync_; }

  // Shutdown
  void mnuQuit_Click();
  void Command5_Click();

  // Of the view the subsystems get (RecordView), what the window's own tests look at.
  bool isCancelShown() const override;
  void showSelectedRecord() override { List1_Click(); }

  platform::Platform& platform() { return platform_; }
  options::FrmOptions& frmOptions() { return *frmOptions_; }
  dialer::CommControl& MSComm1() { return MSComm1_; }
  options::OptionsDialog& optionsDialog() { return *optionsDialog_; }
  dialer::Dialer& dialer() { return *dialer_; }
  mail::MailAndWeb& mail() { return *mail_; }

  // Form-level state shared by the window's procedures.
  QString SearchString;
  bool Adding = false;
  bool Editing = false;
  std::array<QString, kFieldCount> SavedFields;  // the fields as Add found them, 80 wide
  QString SyncStatus;  // "Synchronising 1200/15000" while a sync runs; the title shows it

  // Controls, named as the window's designer named them.
  QGroupBox *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr;
  NameList* List1 = nullptr;
  std::array<QLineEdit*, kFieldCount> Text{};  // Text1..Text14
  QLineEdit* Text15 = nullptr;
  QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
         *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr,
         *Label9 = nullptr, *Label10 = nullptr, *Label11 = nullptr, *Label12 = nullptr,
         *Label13 = nullptr, *Label14 = nullptr;
  QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr,
              *Command5 = nullptr, *Command6 = nullptr, *Command7 = nullptr, *Command8 = nullptr,
              *Command9 = nullptr;
  QTimer* Timer1 = nullptr;  // the refresher, every 500 ms
  QTimer* Timer2 = nullptr;  // the change watcher, every 5 seconds

  // The menu items by name (mnuAdd, mnuQuit, ...), separators included.
  QAction* menuItem(const QString& name) const;

 Q_SIGNALS:
  // The program ends: the application quits on this.
  void programEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A vCard or CSV file dropped on the window is imported.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The rest of the narrow view the subsystems get: they call it through RecordView.
  // One message naming a file that could not be written; nothing was changed.
  void reportWriteError(const WriteError& error) override;
  int recordCount() const override;
  QStringView recordStored(int row, int field) const override;
  QStringView recordValue(int row, int field) const override;
  QString recordSlot(int row, int field) const override;
  QString fieldText(int field) const override;
  void setFieldText(int field, const QString& text) override;
  bool isAddingOrEditing() const override { return Adding || Editing; }
  int selectedRow() const override;
  void focusList() override;
  void setBusy(bool busy) override;
  void selectRow(int row) override;
  void scrollRowToTop(int row) override;
  void showRecord() override { ShowRecord(); }
  void reload() override { SortFile(); }
  void showNoRecords() override;
  void setQuitButtonText(const QString& text) override;

  void buildControls();
  void buildMenus();
  void connectControls();
  void connectBackupControls();
  void createTimer2();
  void connectEditing();
  void connectFieldKeys();
  void connectSearch();
  void connectOutputAndAttachments();
  void createTimer1();
  void connectDialerAndOptions();
  void connectMail();
  void connectExchange();
  void connectSync();
  void centreOnScreen();
  void autoBackup();
  void EndProgram();

  platform::Platform& platform_;
  RecordStore store_;
  dialer::CommControl MSComm1_;
  std::unique_ptr<options::FrmOptions> frmOptions_;
  std::unique_ptr<output::Printing> printing_;
  std::unique_ptr<output::ClipboardExchange> clipboardExchange_;
  std::unique_ptr<attachments::Attachments> attachments_;
  std::unique_ptr<options::OptionsDialog> optionsDialog_;
  std::unique_ptr<dialer::Dialer> dialer_;
  std::unique_ptr<mail::MailAndWeb> mail_;
  std::unique_ptr<exchange::ExchangeView> exchangeView_;
  std::unique_ptr<exchange::ExchangeActions> exchange_;
  std::unique_ptr<backup::BackupActions> backupActions_;
  std::unique_ptr<search::Search> search_;
  std::unique_ptr<watcher::ChangeWatcher> watcher_;
  NameListModel* listModel_ = nullptr;
  bool ended_ = false;
  std::unique_ptr<WindowControls> controls_;  // what the refresher writes, found once
  std::unique_ptr<refresher::Refresher> refresher_;
  std::unique_ptr<sync_ui::SyncController> sync_;
};

}  // namespace tavelin::main_window
