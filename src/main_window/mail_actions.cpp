// Mail and web: the Internet menu, the manual, and the envelope and face labels.
#include <QAction>
#include <QLabel>

#include "mail/mail_and_web.h"
#include "main_window/label_click.h"
#include "main_window/mainform.h"
#include "options/frm_options.h"

namespace tavelin::main_window {

void Mainform::connectMail() {
  mail_ = std::make_unique<mail::MailAndWeb>(
      platform_, *this, *frmOptions_,
      mail::MailAndWeb::Window{this, Text15, [this] { SetBrowseMode(); }});
  mail::MailAndWeb* m = mail_.get();
  const auto bind = [this, m](const char* item, void (mail::MailAndWeb::*handler)()) {
    connect(menuItem(QLatin1String(item)), &QAction::triggered, this,
            [m, handler] { (m->*handler)(); });
  };
  bind("mnuMailEmail", &mail::MailAndWeb::mnuMailEmail_Click);
  bind("mnuMailAddress", &mail::MailAndWeb::mnuMailAddress_Click);
  bind("mnuURL", &mail::MailAndWeb::mnuURL_Click);
  bind("mnuBrowBlank", &mail::MailAndWeb::mnuBrowBlank_Click);
  bind("mnuManual", &mail::MailAndWeb::mnuManual_Click);
  onLabelClick(Label5, [m] { m->MailToName(); });
  onLabelClick(Label6, [m] { m->Label6_Click(); });
  onLabelClick(Label8, [m] { m->Label8_Click(); });
}

}  // namespace tavelin::main_window
