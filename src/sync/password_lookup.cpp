#include "sync/password_lookup.h"

#include "platform/secret_store.h"
#include "sync/password_file.h"

namespace tavelin::sync {

void lookUpPassword(const SyncSettings& settings, platform::SecretStore& store,
                    std::function<void(PasswordLookup)> done) {
  if (!settings.passwordFile.isEmpty()) {
    // A scripted sync names its file on purpose: a refused file is an error, not a reason
    // to look elsewhere.
    PasswordFileRead read = readPasswordFile(settings.passwordFile);
    PasswordLookup lookup;
    lookup.source = read.password ? PasswordLookup::Source::File : PasswordLookup::Source::Refused;
    lookup.password = read.password.value_or(QString());
    lookup.error = read.error;
    done(std::move(lookup));
    return;
  }
  store.read(kSecretService, settings.secretAccount(),
             [done = std::move(done)](platform::SecretResult result) {
               PasswordLookup lookup;
               using Status = platform::SecretResult::Status;
               if (result.status == Status::Done) {
                 lookup.source = PasswordLookup::Source::SecretStore;
                 lookup.password = result.secret;
               } else {
                 lookup.storeAvailable = result.status != Status::NoBackend;
                 if (result.status == Status::Failed) {
                   lookup.error = QStringLiteral("the secret store: ") + result.error;
                 }
               }
               done(std::move(lookup));
             });
}

}  // namespace tavelin::sync
