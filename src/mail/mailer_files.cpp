// The editor's files: loading and saving the message text, the font and its file, and
// printing the selected text.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "mail/mail_files.h"
#include "mail/mailer.h"
#include "mail/message_edit.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "platform/printer.h"
#include "record_store/atomic_file.h"
#include "record_store/text_codec.h"

namespace tavelin::mail {

using platform::Button;
using platform::Buttons;
using platform::Icon;

namespace {

// The dialogs may move the working directory on some systems; the data file lives there.
class WorkingDirectoryKept {
 public:
  WorkingDirectoryKept() : path_(QDir::currentPath()) {}
  ~WorkingDirectoryKept() { QDir::setCurrent(path_); }
  WorkingDirectoryKept(const WorkingDirectoryKept&) = delete;
  WorkingDirectoryKept& operator=(const WorkingDirectoryKept&) = delete;

 private:
  QString path_;
};

}  // namespace

void Mailer::OpenText() {
  const WorkingDirectoryKept kept;
  platform::Dialogs& dialogs = context_.platform.dialogs();
  const std::optional<QString> chosen = dialogs.openFileName(
      {{QStringLiteral("Text (*.txt)"), QStringLiteral("All files (*)")}, QStringLiteral("txt")});
  if (!chosen || chosen->isEmpty()) {
    EditBox->setFocus();
    return;
  }
  if (EditBox->length() > 0 &&
      platform::showMessage(dialogs, QStringLiteral("Message text will be overwritten. Continue?"),
                            Buttons::YesNo, Icon::Critical) != Button::Yes) {
    EditBox->setFocus();
    return;
  }

  EditBox->setText(QString());
  QFile file(*chosen);
  if (file.open(QIODevice::ReadOnly)) {
    setBusy(true);
    context_.platform.processEvents();
    const LoadedText loaded = loadMessageText(decodeText(file.readAll()));
    if (loaded.incomplete) {
      platform::showMessage(dialogs,
                            QStringLiteral("File incomplete, maximum length (32Kb) reached."),
                            Buttons::Ok, Icon::Critical);
    }
    EditBox->setText(loaded.text);
  }
  EditBox->setFocus();
  setBusy(false);
}

void Mailer::SaveText() {
  platform::Dialogs& dialogs = context_.platform.dialogs();
  if (EditBox->length() == 0) {
    platform::showMessage(dialogs, QStringLiteral("No message text to save!"), Buttons::Ok,
                          Icon::Critical);
    EditBox->setFocus();
    return;
  }
  const WorkingDirectoryKept kept;
  const std::optional<QString> chosen =
      dialogs.saveFileName({{QStringLiteral("Text (*.txt)")}, QStringLiteral("txt")});
  if (chosen && !chosen->isEmpty()) {
    setBusy(true);
    const std::optional<WriteError> error =
        writeFileAtomically(*chosen, (EditBox->text() + QStringLiteral("\r\n")).toUtf8());
    setBusy(false);
    reportWriteError(error);  // the user must know that the text is not on disk
  }
  EditBox->setFocus();
}

void Mailer::reportWriteError(const std::optional<WriteError>& error) {
  if (!error) return;
  platform::showMessage(
      context_.platform.dialogs(),
      QStringLiteral("Could not write the file \"%1\" (%2). Nothing was changed.")
          .arg(QDir::toNativeSeparators(QFileInfo(error->fileName).absoluteFilePath()),
               error->reason),
      Buttons::Ok, Icon::Critical);
}

void Mailer::SelectFont() {
  const int selectionStart = EditBox->selectionStart();
  const QFont current = EditBox->font();
  const std::optional<platform::FontChoice> chosen = context_.platform.dialogs().chooseFont(
      {current.family(), current.pointSizeF(), current.bold(), current.italic()});
  if (chosen) {
    QFont font = current;
    font.setFamily(chosen->name);
    font.setPointSizeF(chosen->size);
    font.setItalic(chosen->italic);
    font.setBold(chosen->bold);
    EditBox->setFont(font);
    // A failed write keeps the old file; the font holds for this message anyway.
    reportWriteError(writeFontFile(fontFilePath(configRoot()), *chosen));
  }
  EditBox->setCaret(selectionStart);
  EditBox->setFocus();
}

void Mailer::PrintSelection() {
  platform::Printer& printer = context_.printer;
  const platform::PrinterFont remembered = printer.font();
  const QFont font = EditBox->font();
  printer.setFont({font.family(), font.pointSizeF(), font.bold(), font.italic()});
  printer.print(EditBox->selectedText() + QStringLiteral("\r\n"));
  QString error;
  if (!printer.endDoc(&error)) {
    platform::showMessage(context_.platform.dialogs(),
                          QStringLiteral("The text could not be printed (%1).").arg(error),
                          Buttons::Ok, Icon::Critical);
  }
  printer.setFont(remembered);
}

}  // namespace tavelin::mail
