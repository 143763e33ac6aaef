#include "mail/mail_and_web.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include "contracts/field.h"
#include "contracts/record_view.h"
#include "mail/browser_launch.h"
#include "mail/mailer.h"
#include "platform/dialogs.h"
#include "platform/platform.h"

namespace tavelin::mail {
MailAndWeb::MailAndWeb(platform::Platform& platform, RecordView& view, const LiveOptions& options,
                       Window window)
    : platform_(platform), view_(view), options_(options), window_(std::move(window)) {}

void MailAndWeb::OpenMailer(const QString& recipient) {
  if (mailer_) return;  // one message at a time
  window_.Text15->setText(view_.fieldText(Field::FullName));

  Mailer editor({platform_, platform_.printer(), options_, view_, window_.Text15->text()},
                window_.window);
  mailer_ = &editor;
  editor.Form_Load();
  editor.show();
  editor.Dest->setText(recipient);
  editor.Re->setFocus();

  // The main window waits here while the editor's events run.
  QEventLoop wait;
  QObject::connect(&editor, &Mailer::hidden, &wait, &QEventLoop::quit);
  if (whileOpen) QTimer::singleShot(0, &editor, [this, &editor] { whileOpen(editor); });
  if (editor.isVisible()) wait.exec();

  window_.window->setEnabled(true);
  mailer_ = nullptr;
  // The editor goes with this scope: nothing of the message survives.
  window_.SetBrowseMode();
  view_.focusList();
}

void MailAndWeb::mnuMailEmail_Click() {
  const QString address = view_.fieldText(Field::EMail);
  if (!address.isEmpty()) {
    OpenMailer(address);
    return;
  }
  platform::showMessage(platform_.dialogs(),
                        QStringLiteral("No E-Mail address, using 'Name' instead."),
                        platform::Buttons::Ok, platform::Icon::Information);
  OpenMailer(view_.fieldText(Field::FullName));
}

void MailAndWeb::mnuMailAddress_Click() {
  OpenMailer(view_.fieldText(Field::FullName));
}

void MailAndWeb::MailToName() {
  if (view_.isCancelShown()) return;
  window_.SetBrowseMode();
  OpenMailer(view_.fieldText(Field::FullName));
}

void MailAndWeb::Label6_Click() {
  // Mailing ends in browse mode, which would drop a record being typed.
  if (view_.isCancelShown()) return;
  const QString address = view_.fieldText(Field::EMail);
  if (address.isEmpty()) {
    view_.focusList();
    return;
  }
  OpenMailer(address);
}

void MailAndWeb::OpenBrowser(const QString& address) {
  mail::OpenBrowser(address, platform_.launcher(), platform_.settings(), platform_.dialogs());
}

void MailAndWeb::mnuURL_Click() {
  OpenBrowser(view_.fieldText(Field::Notes1));
}

void MailAndWeb::mnuBrowBlank_Click() {
  OpenBrowser(QString());
}

void MailAndWeb::mnuManual_Click() {
  OpenBrowser(manualAddress());
}

void MailAndWeb::Label8_Click() {
  const QString address = view_.fieldText(Field::Notes1);
  if (!address.isEmpty() && !view_.isCancelShown()) OpenBrowser(address);
}

}  // namespace tavelin::mail
