#pragma once

#include <QMap>
#include <QStringList>
#include <utility>

#include "platform/secret_store.h"

namespace tavelin::platform {

// Answers at once from a map keyed "service/account". Without a backend every call answers
// NoBackend; with failWith set every call fails with that reason.
class FakeSecretStore final : public SecretStore {
 public:
  void read(const QString& service, const QString& account,
            std::function<void(SecretResult)> done) override {
    ++reads;
    SecretResult result = refusal();
    if (result.status == SecretResult::Status::Done) {
      const auto found = secrets.constFind(key(service, account));
      if (found == secrets.constEnd()) {
        result.status = SecretResult::Status::NotFound;
      } else {
        result.secret = *found;
      }
    }
    done(std::move(result));
  }
  void write(const QString& service, const QString& account, const QString& secret,
             std::function<void(SecretResult)> done) override {
    SecretResult result = refusal();
    if (result.status == SecretResult::Status::Done) secrets.insert(key(service, account), secret);
    done(std::move(result));
  }
  void remove(const QString& service, const QString& account,
              std::function<void(SecretResult)> done) override {
    SecretResult result = refusal();
    if (result.status == SecretResult::Status::Done) secrets.remove(key(service, account));
    done(std::move(result));
  }

  static QString key(const QString& service, const QString& account) {
    return service + QLatin1Char('/') + account;
  }

  QMap<QString, QString> secrets;
  bool backend = true;
  QString failWith;
  int reads = 0;

 private:
  SecretResult refusal() const {
    SecretResult result;
    if (!backend) result.status = SecretResult::Status::NoBackend;
    if (backend && !failWith.isEmpty()) {
      result.status = SecretResult::Status::Failed;
      result.error = failWith;
    }
    return result;
  }
};

}  // namespace tavelin::platform
