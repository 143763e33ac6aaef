#include "attachments/attachments.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "attachments/attachment_file.h"
#include "attachments/editor_command.h"
#include "contracts/field.h"
#include "contracts/record_view.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"

namespace tavelin::attachments {

using platform::Button;
using platform::Buttons;
using platform::Icon;

Attachments::Attachments(platform::Dialogs& dialogs, platform::Launcher& launcher,
                         const platform::SettingsStore& settings, RecordView& view)
    : dialogs_(dialogs), launcher_(launcher), settings_(settings), view_(view) {}

std::optional<QString> Attachments::shownFileName() {
  const QString fullName = view_.fieldText(Field::FullName);
  std::optional<QString> name = attachmentFileName(fullName);
  if (!name) {
    platform::showMessage(
        dialogs_,
        QStringLiteral("\"%1\" cannot be the name of a file, so this record has no attached text "
                       "file.")
            .arg(fullName),
        Buttons::Ok, Icon::Exclamation);
  }
  return name;
}

bool Attachments::confirmed(const QString& title) {
  return platform::showMessage(dialogs_, QStringLiteral("Are you sure?"), Buttons::YesNo,
                               Icon::Question, title) == Button::Yes;
}

void Attachments::Label13_Click() {
  if (view_.fieldText(Field::FullName).isEmpty() || view_.isAddingOrEditing()) return;
  const std::optional<QString> name = shownFileName();
  if (!name) return;

  // Opening for appending creates the file when there is none and never changes its content.
  QFile probe(*name);
  if (!probe.open(QIODevice::Append)) {
    platform::showMessage(dialogs_,
                          QStringLiteral("Could not open the file \"%1\" (%2).")
                              .arg(QFileInfo(*name).absoluteFilePath(), probe.errorString()),
                          Buttons::Ok, Icon::Critical);
    return;
  }
  const qint64 length = probe.size();
  probe.close();
  if (length == 0 &&
      platform::showMessage(dialogs_, QStringLiteral("File not found. Create new?"), Buttons::YesNo,
                            Icon::Information,
                            QStringLiteral("No textfile attached yet")) != Button::Yes) {
    QFile::remove(*name);
    return;
  }

  // The full path: an editor that is already running elsewhere, or a name beginning with "-",
  // would otherwise open some other file.
  QStringList command = editorCommand(settings_, launcher_);
  const QString program = command.takeFirst();
  if (!launcher_.start(program, command << QFileInfo(*name).absoluteFilePath())) {
    platform::showMessage(dialogs_,
                          QStringLiteral("Could not start the text editor \"%1\".").arg(program),
                          Buttons::Ok, Icon::Critical);
  }
  view_.showSelectedRecord();
}

void Attachments::mnuKill_Click() {
  if (view_.fieldText(Field::FullName).isEmpty()) return;
  const std::optional<QString> name = shownFileName();
  if (!name || !confirmed(QStringLiteral("Kill attached Notepad file"))) return;
  // A file that is not there needs no deleting.
  QFile::remove(*name);
}

void Attachments::mnuKillAll_Click() {
  if (view_.fieldText(Field::FullName).isEmpty()) return;
  if (!confirmed(QStringLiteral("Kill ALL Notepad files"))) return;
  // Ordinary files of this folder only: never a folder, never what a link points to.
  const QDir folder = QDir::current();
  const QStringList names =
      folder.entryList({QStringLiteral("*.ATA")},
                       QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::CaseSensitive);
  for (const QString& name : names) QFile::remove(folder.filePath(name));
}

}  // namespace tavelin::attachments
