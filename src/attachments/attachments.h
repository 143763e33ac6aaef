#pragma once

#include <QString>
#include <optional>

namespace tavelin {
class RecordView;
}
namespace tavelin::platform {
class Dialogs;
class Launcher;
class SettingsStore;
}  // namespace tavelin::platform

namespace tavelin::attachments {

// The shown record's note file "<Full Name>.ATA" in the working directory: opened in the
// desktop's text editor (created first when the user wants it) and deleted, one or all.
class Attachments {
 public:
  Attachments(platform::Dialogs& dialogs, platform::Launcher& launcher,
              const platform::SettingsStore& settings, RecordView& view);

  // The page glyph and "Open attached text file".
  void Label13_Click();
  void mnuKill_Click();
  void mnuKillAll_Click();

 private:
  // The shown record's file name; a message, and none, when the name cannot be a file name.
  std::optional<QString> shownFileName();
  bool confirmed(const QString& title);

  platform::Dialogs& dialogs_;
  platform::Launcher& launcher_;
  const platform::SettingsStore& settings_;
  RecordView& view_;
};

}  // namespace tavelin::attachments
