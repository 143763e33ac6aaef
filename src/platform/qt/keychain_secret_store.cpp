#include "platform/qt/keychain_secret_store.h"

#include <qt6keychain/keychain.h>

namespace tavelin::platform {

namespace {

SecretResult resultOf(const QKeychain::Job& job) {
  SecretResult result;
  switch (job.error()) {
    case QKeychain::NoError:
      result.status = SecretResult::Status::Done;
      break;
    case QKeychain::EntryNotFound:
      result.status = SecretResult::Status::NotFound;
      break;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
      result.status = SecretResult::Status::NoBackend;
      break;
    default:
      result.status = SecretResult::Status::Failed;
      result.error = job.errorString();
      break;
  }
  return result;
}

// The job deletes itself once finished has been delivered.
template <typename Job>
Job* newJob(const QString& service, const QString& account) {
  auto* job = new Job(service);
  job->setAutoDelete(true);
  job->setInsecureFallback(false);
  job->setKey(account);
  return job;
}

}  // namespace

void KeychainSecretStore::read(const QString& service, const QString& account,
                               std::function<void(SecretResult)> done) {
  auto* job = newJob<QKeychain::ReadPasswordJob>(service, account);
  QObject::connect(job, &QKeychain::Job::finished, job,
                   [job, done = std::move(done)](QKeychain::Job*) {
                     SecretResult result = resultOf(*job);
                     if (result.status == SecretResult::Status::Done) {
                       result.secret = job->textData();
                     }
                     done(std::move(result));
                   });
  job->start();
}

void KeychainSecretStore::write(const QString& service, const QString& account,
                                const QString& secret, std::function<void(SecretResult)> done) {
  auto* job = newJob<QKeychain::WritePasswordJob>(service, account);
  job->setTextData(secret);
  QObject::connect(job, &QKeychain::Job::finished, job,
                   [job, done = std::move(done)](QKeychain::Job*) { done(resultOf(*job)); });
  job->start();
}

void KeychainSecretStore::remove(const QString& service, const QString& account,
                                 std::function<void(SecretResult)> done) {
  auto* job = newJob<QKeychain::DeletePasswordJob>(service, account);
  QObject::connect(job, &QKeychain::Job::finished, job,
                   [job, done = std::move(done)](QKeychain::Job*) { done(resultOf(*job)); });
  job->start();
}

}  // namespace tavelin::platform
