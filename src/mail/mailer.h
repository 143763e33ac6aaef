#pragma once

#include <QMainWindow>
#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tavelin {
class LiveOptions;
class RecordList;
struct WriteError;
}  // namespace tavelin
namespace tavelin::platform {
class Platform;
class Printer;
}  // namespace tavelin::platform

namespace tavelin::mail {

class MessageEdit;

// Quilla, the mail editor: To, Subject and the message text, nine buttons, a menu, and a
// status line with the message size. It covers the main window while it is open; quitting
// offers to hand the message to the mail transport.
class Mailer final : public QMainWindow {
  Q_OBJECT
 public:
  // What the editor reads: the options' title check boxes, the records that resolve a name,
  // the printer of the run, and the full name the greeting uses.
  struct Context {
    platform::Platform& platform;
    platform::Printer& printer;
    const LiveOptions& options;
    const RecordList& records;
    QString greetingName;  // the main window's Text15
  };
  Mailer(const Context& context, QWidget* mainWindow);
  ~Mailer() override;

  // Covers the main window, disabled meanwhile, and takes the stored font.
  void Form_Load();
  void Timer1_Timer();

  void QuitMailer();
  void CloseMailer();

  void OpenText();
  void SaveText();
  void SelectFont();
  void PrintSelection();

  void CleanText();
  void JoinLines();
  void ApplyGreeting();
  void ConfigureSignOff();
  void InsertDateTime();

  QAction* menuItem(const QString& name) const;

  // Controls, named as the window's designer named them.
  QGroupBox *Frame1 = nullptr, *Frame2 = nullptr;
  QLabel *Picture1 = nullptr, *Label1 = nullptr, *Label2 = nullptr;
  QLineEdit *Dest = nullptr, *Re = nullptr;
  MessageEdit* EditBox = nullptr;
  QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr,
              *Command5 = nullptr, *Command6 = nullptr, *Command7 = nullptr, *Command8 = nullptr,
              *Command9 = nullptr;
  QTimer* Timer1 = nullptr;

  // The stored sign-off as last read (personal.sig's first line); empty at load.
  QString SignOff;

 Q_SIGNALS:
  // The editor was hidden or closed: the main window's wait ends.
  void hidden();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void buildControls();
  void buildMenus();
  void connectControls();
  void readSignOffFile();
  // Tells the user that a file of theirs was not written; the old one is still there.
  void reportWriteError(const std::optional<WriteError>& error);
  void setBusy(bool busy);
  QString configRoot() const;

  Context context_;
  QWidget* mainWindow_;
  QAction *mnuPrint_ = nullptr, *mnuJoin_ = nullptr, *mnuClean_ = nullptr, *mnuSaveAs_ = nullptr;
};

}  // namespace tavelin::mail
