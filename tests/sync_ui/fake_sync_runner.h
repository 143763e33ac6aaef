#pragma once

#include <QPointer>
#include <vector>

#include "sync/runner_factory.h"
#include "sync/sync_runner.h"

namespace tavelin::test {

// A sync that does nothing until the test ends it with an outcome of its choice.
class FakeSyncRunner final : public sync::SyncRunner {
  Q_OBJECT

 public:
  void start() override {
    if (running_) return;
    running_ = true;
    ++starts;
  }
  bool isRunning() const override { return running_; }
  void end(const sync::SyncOutcome& outcome) {
    running_ = false;
    Q_EMIT finished(outcome);
  }
  void report(int done, int total) { Q_EMIT progress(done, total); }

  int starts = 0;

 private:
  bool running_ = false;
};

// Makes fake runners and keeps hold of them (weakly: the caller owns them) and of the data
// file each was made for.
struct FakeRunners {
  std::vector<QPointer<FakeSyncRunner>> made;
  QStringList dataFiles;
  std::function<void(FakeSyncRunner&)> onMade;  // e.g. end at once

  sync::SyncRunnerFactory factory() {
    return [this](const QString& dataFile, sync::CardDavClient&) {
      auto runner = std::make_unique<FakeSyncRunner>();
      made.emplace_back(runner.get());
      dataFiles << dataFile;
      if (onMade) onMade(*runner);
      return std::unique_ptr<sync::SyncRunner>(std::move(runner));
    };
  }
  FakeSyncRunner* last() const { return made.empty() ? nullptr : made.back().data(); }
  int started() const {
    int n = 0;
    for (const auto& r : made) n += r ? r->starts : 1;
    return n;
  }
};

inline sync::SyncOutcome succeeded(const sync::SyncSummary& summary = {}) {
  sync::SyncOutcome o;
  o.succeeded = true;
  o.summary = summary;
  return o;
}

inline sync::SyncOutcome failedWith(sync::DavOutcome outcome, const QString& error) {
  sync::SyncOutcome o;
  o.failure.outcome = outcome;
  o.error = error;
  return o;
}

}  // namespace tavelin::test
