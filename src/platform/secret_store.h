#pragma once

#include <QString>
#include <functional>

namespace tavelin::platform {

// How a request to the secret store ended.
struct SecretResult {
  enum class Status {
    Done,       // written or removed; for a read, the secret is in secret
    NotFound,   // nothing stored under that service and account
    NoBackend,  // there is no secret store on this desktop
    Failed,     // the store refused or broke down: error says why
  };
  Status status = Status::Done;
  QString secret;
  QString error;  // never holds the secret
};

// The desktop's store of passwords, by service and account. Asynchronous: every call ends in
// one call of done, possibly before the call returns.
class SecretStore {
 public:
  virtual ~SecretStore() = default;
  virtual void read(const QString& service, const QString& account,
                    std::function<void(SecretResult)> done) = 0;
  virtual void write(const QString& service, const QString& account, const QString& secret,
                     std::function<void(SecretResult)> done) = 0;
  virtual void remove(const QString& service, const QString& account,
                      std::function<void(SecretResult)> done) = 0;
};

}  // namespace tavelin::platform
