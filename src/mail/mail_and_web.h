#pragma once

#include <QString>
#include <functional>

class QLineEdit;
class QWidget;

namespace tavelin {
class LiveOptions;
class RecordView;
}  // namespace tavelin
namespace tavelin::platform {
class Platform;
}

namespace tavelin::mail {

class Mailer;

// Mail and web from the main window: the mail editor for one recipient at a time, the
// browser at the record's web address, the home page or the manual.
class MailAndWeb {
 public:
  // The main window as the mail editor needs it: the window it covers and disables, the
  // hidden field the greeting's name goes through, and the return to browse mode.
  struct Window {
    QWidget* window;
    QLineEdit* Text15;
    std::function<void()> SetBrowseMode;
  };
  MailAndWeb(platform::Platform& platform, RecordView& view, const LiveOptions& options,
             Window window);

  // Opens the editor for the recipient and returns when it has been closed.
  void OpenMailer(const QString& recipient);
  void mnuMailEmail_Click();
  void mnuMailAddress_Click();
  void MailToName();    // the envelope beside the name
  void Label6_Click();  // the envelope beside the e-mail address

  void OpenBrowser(const QString& address);
  void mnuURL_Click();
  void mnuBrowBlank_Click();
  void mnuManual_Click();
  void Label8_Click();  // the face beside the web address

  // The editor while it is open, else null.
  Mailer* mailer() const { return mailer_; }
  // Runs once the editor is on screen, inside the wait (tests drive the editor from here).
  std::function<void(Mailer&)> whileOpen;

 private:
  platform::Platform& platform_;
  RecordView& view_;
  const LiveOptions& options_;
  Window window_;
  Mailer* mailer_ = nullptr;
};

}  // namespace tavelin::mail
