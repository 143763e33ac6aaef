#pragma once

#include <QString>

namespace tavelin::platform {
class Dialogs;
}

namespace tavelin::attachments {

// The keyboard summary: fifteen lines, each ended by a CR, with one tab between a key and
// what it does.
QString shortcutHelpText();

// Shows the summary in a box of its own ("TAVELIN keyboard shortcuts").
void ShowShortcutHelp(platform::Dialogs& dialogs);

}  // namespace tavelin::attachments
