#pragma once

#include <QTextStream>

#include "sync/runner_factory.h"

namespace tavelin::platform {
class SecretStore;
class SettingsStore;
}  // namespace tavelin::platform

namespace tavelin::app {

// What `tavelin --sync` needs from outside: the settings, the secret store and the sync.
struct SyncServices {
  platform::SettingsStore& settings;
  platform::SecretStore& secrets;
  sync::SyncRunnerFactory makeRunner;
};

// One sync of TAVELIN.FIL in the working directory with the account of [CardDAV], waiting in
// an event loop of its own. Prints the summary line on out and returns 0; a failure, or no
// account, is one line on err and 1. The password comes from PasswordFile or the secret
// store; it is never asked for here.
int runSync(const SyncServices& services, QTextStream& out, QTextStream& err);

}  // namespace tavelin::app
