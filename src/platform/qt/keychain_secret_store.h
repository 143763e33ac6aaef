#pragma once

#include "platform/secret_store.h"

namespace tavelin::platform {

// The Secret Service (GNOME Keyring, KWallet, KeePassXC) through QtKeychain. Never falls back
// to a file of its own: without a store the answer is NoBackend.
class KeychainSecretStore final : public SecretStore {
 public:
  void read(const QString& service, const QString& account,
            std::function<void(SecretResult)> done) override;
  void write(const QString& service, const QString& account, const QString& secret,
             std::function<void(SecretResult)> done) override;
  void remove(const QString& service, const QString& account,
              std::function<void(SecretResult)> done) override;
};

}  // namespace tavelin::platform
