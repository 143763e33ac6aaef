#include "mail/mailer.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "contracts/live_options.h"
#include "mail/mail_files.h"
#include "mail/mail_text.h"
#include "mail/mailer_status.h"
#include "mail/message_edit.h"
#include "mail/send_via_outlook.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/platform.h"

namespace tavelin::mail {

using platform::Button;
using platform::Buttons;
using platform::Icon;

Mailer::Mailer(const Context& context, QWidget* mainWindow)
    : QMainWindow(mainWindow, Qt::Window), context_(context), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("Mailer"));
  setWindowTitle(QStringLiteral("Malvek Quilla"));
  buildControls();
  buildMenus();
  connectControls();
}

Mailer::~Mailer() = default;

void Mailer::connectControls() {
  const auto bind = [this](QPushButton* button, const char* item, void (Mailer::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    connect(menuItem(QLatin1String(item)), &QAction::triggered, this,
            [this, handler] { (this->*handler)(); });
  };
  bind(Command4, "mnuOpenFile", &Mailer::OpenText);
  bind(Command3, "mnuSaveAs", &Mailer::SaveText);
  bind(Command6, "mnuGreet", &Mailer::ApplyGreeting);
  bind(Command8, "mnuFont", &Mailer::SelectFont);
  bind(Command7, "mnuNow", &Mailer::InsertDateTime);
  bind(Command5, "mnuPers", &Mailer::ConfigureSignOff);
  bind(Command9, "mnuJoin", &Mailer::JoinLines);
  bind(Command2, "mnuClean", &Mailer::CleanText);
  bind(Command1, "mnuQuit", &Mailer::QuitMailer);
  connect(menuItem(QStringLiteral("mnuPrint")), &QAction::triggered, this,
          [this] { PrintSelection(); });

  for (QWidget* w : std::initializer_list<QWidget*>{Dest, Re, EditBox, Picture1}) {
    w->installEventFilter(this);
  }

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(150);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  Timer1->start();
}

// The menu's keys win over the text boxes' own (Ctrl+C cleans, Ctrl+A saves); Escape in the
// subject or the message quits; a click on the picture quits.
bool Mailer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Picture1) {
    if (event->type() == QEvent::MouseButtonPress) {
      QuitMailer();
      return true;
    }
    return false;
  }
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    for (QAction* action : findChildren<QAction*>()) {
      if (!action->menu() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
        return true;  // left unaccepted: the shortcut runs, not the box's own key
      }
    }
  }
  if (event->type() == QEvent::KeyPress && watched != Dest &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    QuitMailer();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

QString Mailer::configRoot() const {
  return context_.platform.configRoot();
}

void Mailer::setBusy(bool busy) {
  if (busy) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

void Mailer::Form_Load() {
  mainWindow_->setEnabled(false);
  setEnabled(true);
  move(mainWindow_->pos());
  resize(mainWindow_->size());

  const platform::FontChoice stored = readFontFile(fontFilePath(configRoot()));
  QFont font = EditBox->font();
  font.setFamily(stored.name);
  font.setPointSizeF(stored.size);
  font.setItalic(stored.italic);
  font.setBold(stored.bold);
  EditBox->setFont(font);
}

void Mailer::closeEvent(QCloseEvent* event) {
  // Closed from the title bar: the message goes without a question.
  mainWindow_->setEnabled(true);
  event->accept();
}

void Mailer::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  // Minimising hides the window on some desktops, but the editor is still open.
  if (!isVisible()) Q_EMIT hidden();
}

void Mailer::CloseMailer() {
  setEnabled(false);
  hide();
  mainWindow_->setEnabled(true);
  mainWindow_->activateWindow();
}

void Mailer::Timer1_Timer() {
  const QDateTime now = context_.platform.clock().now();
  const LiveOptions& options = context_.options;
  const QString title = mailerTitle(options.timeOnTitleBar(), options.dateOnTitleBar(), now.time(),
                                    QLocale::system().toString(now.date(), QLocale::ShortFormat));
  if (windowTitle() != title) setWindowTitle(title);

  const bool selected = EditBox->hasSelection();
  for (QAction* item : {mnuPrint_, mnuJoin_, mnuClean_}) {
    if (item->isEnabled() != selected) item->setEnabled(selected);
  }
  const qsizetype length = EditBox->length();
  if (mnuSaveAs_->isEnabled() != (length > 0)) mnuSaveAs_->setEnabled(length > 0);

  const QString status = statusLine(length);
  if (Frame1->title() != status) Frame1->setTitle(status);
}

void Mailer::QuitMailer() {
  if (EditBox->length() == 0) {
    CloseMailer();
    return;
  }
  platform::Message ask;
  ask.text = QStringLiteral("There is an outbound E-Mail, Send it?");
  ask.buttons = Buttons::YesNoCancel;
  ask.icon = Icon::Information;
  ask.defaultButton = Button::Yes;
  platform::Dialogs& dialogs = context_.platform.dialogs();
  switch (dialogs.message(ask)) {
    case Button::No:
      CloseMailer();
      return;
    case Button::Yes:
      break;
    default:
      EditBox->setFocus();
      return;
  }

  const QString body = EditBox->text();
  const QString subject = Re->text();
  const QString recipient = Dest->text();
  setBusy(true);
  const bool sent = SendViaOutlook(subject, recipient, body, context_.platform.mailTransport(),
                                   dialogs, context_.records);
  setBusy(false);
  if (sent) {
    platform::showMessage(dialogs, QStringLiteral("Message has been placed in OUTLOOK outbox."),
                          Buttons::Ok, Icon::Information);
    CloseMailer();
  } else {
    platform::showMessage(
        dialogs, QStringLiteral("Outlook reported an error.\r\nPlease Check the 'To:' field."),
        Buttons::Ok, Icon::Critical);
    Dest->setFocus();
  }
}

void Mailer::CleanText() {
  setBusy(true);
  if (EditBox->hasSelection()) EditBox->replaceSelection(mail::CleanText(EditBox->selectedText()));
  setBusy(false);
  EditBox->setFocus();
}

void Mailer::JoinLines() {
  setBusy(true);
  if (EditBox->hasSelection()) EditBox->replaceSelection(mail::JoinLines(EditBox->selectedText()));
  setBusy(false);
  EditBox->setFocus();
}

void Mailer::readSignOffFile() {
  if (const std::optional<QString> stored = readSignOff(signOffFilePath(configRoot()))) {
    SignOff = *stored;
  }
}

void Mailer::ApplyGreeting() {
  readSignOffFile();
  SignOff = trimSpaces(SignOff).toString();
  EditBox->setText(mail::ApplyGreeting(EditBox->text(), context_.greetingName, SignOff));
  EditBox->setCaret(0);
  EditBox->setFocus();
}

void Mailer::ConfigureSignOff() {
  readSignOffFile();
  SignOff = context_.platform.dialogs().input(
      QStringLiteral("Enter your Sign-Off. Use Alt-124 for CR/LF:"), platform::kAppTitle, SignOff);
  // A failed write keeps the old file, and the typed sign-off holds for this message.
  if (!SignOff.isEmpty()) reportWriteError(writeSignOff(signOffFilePath(configRoot()), SignOff));
  EditBox->setFocus();
}

void Mailer::InsertDateTime() {
  EditBox->replaceSelection(
      mail::InsertDateTime(context_.platform.clock().now(), QLocale::system()));
  EditBox->setFocus();
}

}  // namespace tavelin::mail
