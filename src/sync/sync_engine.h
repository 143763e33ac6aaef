#pragma once

#include <QHash>
#include <QLockFile>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "record_store/change_set.h"
#include "record_store/record_lines.h"
#include "sync/carddav_client.h"
#include "sync/runner_factory.h"
#include "sync/sync_runner.h"
#include "sync/sync_state.h"

namespace tavelin {
class RecordStore;
}

namespace tavelin::sync {

// A failure of our own (a file, a lock), not the server's: its message says what.
DavResult localFailure(const QString& message);

// One sync of a data file with its address book: the server's changes found (sync-collection
// with the stored token, else by comparing ETags), the changed cards fetched, the local side
// applied as one change set with the state in the same lock, then each card the server has to
// hear about sent on its own. Stopped anywhere, it leaves a state the next sync finishes from.
// Copies of Tavelin sharing the data file sync one at a time.
class SyncEngine : public SyncRunner {
  Q_OBJECT

 public:
  // dataFile as RecordStore names it: relative to the working directory, normally TAVELIN.FIL.
  SyncEngine(QString dataFile, CardDavClient& client, QObject* parent = nullptr);
  ~SyncEngine() override;

  void start() override;
  bool isRunning() const override { return running_; }

  // How many cards are sent at once (unset: two to a server on this machine, else four), and
  // after how many the state is written.
  void setParallelRequests(int count) { parallel_ = std::max(1, count); }
  int parallelRequests() const;
  void setStateBatch(int count) { stateBatch_ = std::max(1, count); }

  // The lock a sync of the data file holds, so that copies sharing it sync one at a time.
  static QString syncLockPath(const QString& dataFile) {
    return dataFile + QStringLiteral(".sync.lock");
  }

 private:
  // Finding the changes.
  QString collectionName() const;
  // The state read, for this address book (another one's reads as none).
  void useState(SyncState state);
  // Joins the state's contacts, read beside the first request; false when they are not what
  // that request was asked from (the file was damaged past its head).
  bool takeState();
  void findChanges();
  void syncChanges(const QString& token, bool full, bool withCards);
  void listEtags();
  void compareListing(std::vector<MemberEtag> members, std::vector<FetchedCard> cards, bool full);
  void fetchChanged();
  // The local side, read ahead while the server answers the first request.
  void applyLocal();
  // The server's side.
  void sendPending();
  void sendNext();
  void sendOne(const QString& href);
  void sent(bool counted);
  // A request failed: the sync ends once the others in flight have answered.
  void failed(const DavResult& result);
  void sendRemoval(const SyncedContact& contact);
  void sendNew(const SyncedContact& contact);
  void sendChanged(const SyncedContact& contact);
  void adoptExisting(const QString& href, const QString& uid, const QString& hint);
  void retry(const QString& href);
  void keepTwice(SyncedContact contact, const FetchedCard& theirs, const FieldTexts& base,
                 const FieldTexts& ours, const QString& theirLine);
  void takeTokenAfterSending();
  // Fetches one card: nullopt when it is gone.
  void fetchOne(const QString& href,
                std::function<void(std::optional<FetchedCard>, DavResult)> done);
  QString newUid() const;

  // Writes the state (and the local changes found while sending) under the data file's lock.
  // Empty when written, else why not.
  QString saveState(const ChangeSet& local = {});
  void stop(const DavResult& failure);
  void succeed();
  void finish(SyncOutcome outcome);
  QString host() const;

  // Calls back only while this engine lives.
  template <typename F>
  auto guarded(F f) {
    return [self = QPointer<SyncEngine>(this), f = std::move(f)](auto&&... args) mutable {
      if (self) f(std::forward<decltype(args)>(args)...);
    };
  }

  QString dataFile_;
  CardDavClient& client_;
  int parallel_ = 0;
  int stateBatch_ = 200;
  bool running_ = false;

  // One run.
  std::unique_ptr<QLockFile> syncLock_;
  std::unique_ptr<QTemporaryDir> workDir_;
  std::unique_ptr<RecordStore> store_;
  struct StateReading;
  std::unique_ptr<StateReading> stateReading_;  // the state's contacts, read beside a request
  SyncState state_;
  QString token_;           // for the next sync
  bool keepToken_ = false;  // a change could not be fetched: ask again next time
  bool triedListing_ = false;
  int rounds_ = 0;
  std::vector<MemberEtag> changed_;
  std::vector<FetchedCard> changedCards_;  // changed, sent whole with the changes
  QSet<QString> removed_;
  std::vector<FetchedCard> cards_;
  SyncSummary summary_;
  int done_ = 0;
  int total_ = 0;
  std::vector<QString> queue_;
  int inFlight_ = 0;
  int sinceSave_ = 0;
  bool stopping_ = false;
  bool sentNew_ = false;
  std::optional<DavResult> failure_;
  QHash<QString, int> attempts_;
  ChangeSet followUps_;           // local changes the server's answers called for
  QSet<QString> conflictCopies_;  // uploads counted as conflicts, not as added there
};

// What runs a sync, for the window and for --sync alike: this engine.
SyncRunnerFactory engineFactory();

}  // namespace tavelin::sync
