#pragma once

#include <QString>

namespace tavelin::main_window {
class Mainform;
}
namespace tavelin::platform {
class FakePlatform;
}

namespace tavelin::bench {

// The modes that time one user action at the window, from the button until the record is
// shown again: add, edit, delete, backup, restore.
bool isActionMode(const QString& mode);
// Runs the mode on a started window whose data file is a copy of its own.
int runActionMode(const QString& mode, main_window::Mainform& window,
                  platform::FakePlatform& platform);

}  // namespace tavelin::bench
