#pragma once

#include <QStringList>

namespace tavelin::platform {
class Launcher;
class SettingsStore;
}  // namespace tavelin::platform

namespace tavelin::attachments {

// The text editor's command line, program first: the setting Platform/Editor when it holds
// one, else the first desktop editor found on PATH, else xdg-open.
QStringList editorCommand(const platform::SettingsStore& settings,
                          const platform::Launcher& launcher);

}  // namespace tavelin::attachments
