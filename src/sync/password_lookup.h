#pragma once

#include <QString>
#include <functional>

#include "sync/sync_settings.h"

namespace tavelin::platform {
class SecretStore;
}

namespace tavelin::sync {

struct PasswordLookup {
  enum class Source {
    File,         // PasswordFile
    SecretStore,  // the desktop's secret store
    Missing,      // neither has it: the window asks, the command line fails
    Refused,      // PasswordFile is set but may not be read: error says why
  };
  Source source = Source::Missing;
  QString password;
  QString error;  // Refused: the file and the reason; Missing: the store's failure, if any
  bool storeAvailable = true;  // false: this desktop has no secret store
};

// PasswordFile when set (and then nothing else), else the secret store. Ends in one call of
// done, possibly before it returns.
void lookUpPassword(const SyncSettings& settings, platform::SecretStore& store,
                    std::function<void(PasswordLookup)> done);

}  // namespace tavelin::sync
