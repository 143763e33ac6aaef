#include "sync/sync_engine.h"

#include <QFile>
#include <QUuid>

#include "record_store/file_lock.h"
#include "record_store/record_store.h"
#include "record_store/side_thread.h"
#include "sync/change_journal.h"
#include "sync/sync_plan.h"

namespace tavelin::sync {

namespace {

constexpr int kLockWaitMs = 10'000;
constexpr int kMaxRounds = 1000;  // parts of one sync-collection answer (507)

QString whyNot(const WriteError& error) {
  return error.fileName + QStringLiteral(": ") + error.reason;
}

// Told of the local change set under the data file's lock: the state and the journal go with
// it, so that no copy ever sees the one without the other.
class StateWriter : public ChangeListener {
 public:
  StateWriter(QString dataFile, const SyncState& state, size_t journalNotes)
      : dataFile_(std::move(dataFile)), state_(state), journalNotes_(journalNotes) {}
  void changesApplied(const ChangeSet&) override { write(); }
  void write() {
    if (const std::optional<WriteError> error = writeSyncState(syncStatePath(dataFile_), state_)) {
      error_ = whyNot(*error);
      return;
    }
    written_ = true;
    if (journalNotes_ > 0) dropChangeJournalNotes(changeJournalPath(dataFile_), journalNotes_);
  }
  bool written() const { return written_; }
  const QString& error() const { return error_; }

 private:
  QString dataFile_;
  const SyncState& state_;
  size_t journalNotes_;
  bool written_ = false;
  QString error_;
};

}  // namespace

struct SyncEngine::StateReading {
  QByteArray bytes;
  SyncState state;
  SideThread reading;  // last: joined before the rest goes
};

DavResult localFailure(const QString& message) {
  DavResult result;
  result.outcome = DavOutcome::Ok;  // nothing the server said
  result.message = message;
  return result;
}

SyncEngine::SyncEngine(QString dataFile, CardDavClient& client, QObject* parent)
    : SyncRunner(parent), dataFile_(std::move(dataFile)), client_(client) {}

SyncEngine::~SyncEngine() = default;

QString SyncEngine::host() const {
  return client_.collection().host();
}

QString SyncEngine::newUid() const {
  return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void SyncEngine::start() {
  if (running_) return;
  running_ = true;
  state_ = {};
  token_.clear();
  keepToken_ = triedListing_ = stopping_ = sentNew_ = false;
  rounds_ = done_ = total_ = inFlight_ = sinceSave_ = 0;
  changed_.clear();
  changedCards_.clear();
  removed_.clear();
  cards_.clear();
  summary_ = {};
  queue_.clear();
  failure_.reset();
  store_.reset();
  attempts_.clear();
  followUps_ = {};
  conflictCopies_.clear();

  syncLock_ = std::make_unique<QLockFile>(syncLockPath(dataFile_));
  if (!syncLock_->tryLock(0)) {
    syncLock_.reset();
    stop(
        localFailure(QStringLiteral("another copy of Tavelin is synchronising this "
                                    "address book; this copy tries again later")));
    return;
  }
  SyncStateBytes file = readSyncStateBytes(syncStatePath(dataFile_));
  if (!file.error.isEmpty()) {
    stop(localFailure(QStringLiteral("the sync state cannot be read: ") + file.error));
    return;
  }
  // The data file is read on another thread while the server answers the first request.
  workDir_ = std::make_unique<QTemporaryDir>();
  store_ = std::make_unique<RecordStore>(workDir_->filePath(QStringLiteral("workfile.tmp")));
  store_->setLockWaitMs(kLockWaitMs);
  store_->Preload();
  state_ = peekSyncState(file.bytes);
  if (!state_.syncToken.isEmpty() && state_.collection == collectionName()) {
    // So are the state's contacts, when the changes since its token are all it takes to ask.
    stateReading_ = std::make_unique<StateReading>();
    stateReading_->bytes = std::move(file.bytes);
    stateReading_->reading = SideThread(
        [reading = stateReading_.get()] { reading->state = parseSyncState(reading->bytes); });
    syncChanges(state_.syncToken, false, true);
    return;
  }
  useState(parseSyncState(file.bytes));
  findChanges();
}

QString SyncEngine::collectionName() const {
  return client_.collection().toString(QUrl::FullyEncoded);
}

void SyncEngine::useState(SyncState state) {
  state_ = std::move(state);
  if (!state_.collection.isEmpty() && state_.collection != collectionName()) {
    // Another address book: its cards are no match for this one's; start as a first sync.
    state_ = {};
  }
  state_.collection = collectionName();
}

bool SyncEngine::takeState() {
  if (!stateReading_) return true;
  stateReading_->reading.join();
  const SyncState asked = std::exchange(state_, {});
  useState(std::move(stateReading_->state));
  stateReading_.reset();
  // A damaged file reads as no state at all: the answer to its token is no use then.
  return state_.syncToken == asked.syncToken && state_.collection == asked.collection;
}

void SyncEngine::findChanges() {
  // With a token the changes, cards and all, are one request away; the first sync asks what
  // the book offers, and fetches the cards in batches.
  if (!state_.syncToken.isEmpty()) {
    syncChanges(state_.syncToken, false, true);
    return;
  }
  client_.probeCollection(guarded([this](CollectionInfo info) {
    if (!info.result.ok()) return stop(info.result);
    if (!info.isAddressBook) {
      return stop(localFailure(QStringLiteral("the address is no address book")));
    }
    if (info.supportsSyncCollection) {
      syncChanges({}, true, false);
    } else {
      listEtags();
    }
  }));
}

void SyncEngine::syncChanges(const QString& token, bool full, bool withCards) {
  client_.syncCollection(
      token, withCards, guarded([this, token, full, withCards](SyncChanges changes) {
        if (!takeState()) return findChanges();
        const DavResult& result = changes.result;
        if (!result.ok()) {
          // Too many cards for one answer: the same changes, their cards fetched in batches.
          if (withCards && result.outcome == DavOutcome::TooLarge) {
            return syncChanges(token, full, false);
          }
          const bool fromToken = !token.isEmpty() && rounds_ == 0;
          // An unknown token (some servers answer it with a 5xx): list everything once.
          if (fromToken &&
              (result.outcome == DavOutcome::InvalidSyncToken ||
               (result.outcome == DavOutcome::HttpError && result.httpStatus >= 500))) {
            changed_.clear();
            changedCards_.clear();
            removed_.clear();
            return syncChanges({}, true, false);
          }
          // A server that took the token once and no longer offers sync-collection.
          if (fromToken && result.outcome == DavOutcome::HttpError && result.httpStatus >= 400) {
            return listEtags();
          }
          return stop(result);
        }
        for (MemberEtag& member : changes.changed) changed_.push_back(std::move(member));
        for (FetchedCard& card : changes.cards) changedCards_.push_back(std::move(card));
        for (const QString& href : changes.removed) removed_.insert(href);
        if (rounds_ > 0 && !changes.removed.isEmpty()) {
          // A card sent in an earlier part and removed since is no change to take.
          const QSet<QString> gone(changes.removed.begin(), changes.removed.end());
          std::erase_if(changedCards_,
                        [&](const FetchedCard& card) { return gone.contains(card.href); });
        }
        if (changes.truncated && ++rounds_ < kMaxRounds && !changes.token.isEmpty()) {
          return syncChanges(changes.token, full, withCards);
        }
        token_ = changes.token;
        compareListing(std::exchange(changed_, {}), std::exchange(changedCards_, {}), full);
      }));
}

void SyncEngine::listEtags() {
  triedListing_ = true;
  client_.listEtags(guarded([this](EtagListing listing) {
    if (!listing.result.ok()) return stop(listing.result);
    token_.clear();
    compareListing(std::move(listing.members), {}, true);
  }));
}

void SyncEngine::compareListing(std::vector<MemberEtag> members, std::vector<FetchedCard> cards,
                                bool full) {
  QSet<QString> listed;
  const auto isNew = [&](const QString& href, const QByteArray& etag) {
    listed.insert(href);
    removed_.remove(href);
    const SyncedContact* known = state_.findHref(href);
    // Our own uploads come back with the ETag we already hold.
    return !(known && !known->etag.isEmpty() && known->etag == etag);
  };
  for (MemberEtag& member : members) {
    if (isNew(member.href, member.etag)) changed_.push_back(std::move(member));
  }
  for (FetchedCard& card : cards) {
    if (isNew(card.href, card.etag)) cards_.push_back(std::move(card));
  }
  if (full) {
    for (const SyncedContact& contact : state_.contacts) {
      if (!contact.etag.isEmpty() && !listed.contains(contact.href)) removed_.insert(contact.href);
    }
  }
  fetchChanged();
}

void SyncEngine::fetchChanged() {
  if (changed_.empty()) return applyLocal();
  QStringList hrefs;
  for (const MemberEtag& member : changed_) hrefs << member.href;
  total_ = static_cast<int>(hrefs.size());
  Q_EMIT progress(0, total_);
  client_.multiget(hrefs, guarded([this](CardBatch batch) {
                     done_ += static_cast<int>(batch.cards.size() + batch.missing.size());
                     for (FetchedCard& card : batch.cards) cards_.push_back(std::move(card));
                     // Gone meanwhile, or too large: asked for again at the next sync.
                     if (!batch.missing.isEmpty()) keepToken_ = true;
                     Q_EMIT progress(done_, total_);
                   }),
                   guarded([this](DavResult result) {
                     if (!result.ok()) return stop(result);
                     applyLocal();
                   }));
}

void SyncEngine::applyLocal() {
  // Loaded from what was read ahead, when the file still holds it.
  RecordStore& store = *store_;
  if (const QString why = store.SortFile().unreadable; !why.isEmpty()) {
    return stop(localFailure(QStringLiteral("the data file cannot be read: ") + why));
  }
  if (!QFile::exists(dataFile_) && !state_.contacts.empty()) {
    // Every contact would read as deleted here: nothing goes until the file is back.
    return stop(localFailure(dataFile_ + QStringLiteral(" is missing")));
  }
  PlanInput input;
  for (int row = 0; row < store.rowCount(); ++row) input.lines << store.BuildRecordLine(row);
  input.state = state_;
  input.journal = readChangeJournal(changeJournalPath(dataFile_));
  input.cards = std::move(cards_);
  input.removed = removed_;
  input.newUid = [this] { return newUid(); };
  input.hrefFor = [this](const QString& uid) { return client_.hrefFor(uid + ".vcf"); };
  Plan plan = makePlan(input);
  plan.state.collection = state_.collection;
  plan.state.syncToken = keepToken_ ? state_.syncToken : token_;
  summary_ = plan.summary;
  conflictCopies_ = plan.conflictCopies;

  const size_t notes = input.journal.size();
  const bool stateChanged = !(plan.state == state_);
  state_ = std::move(plan.state);
  if (!plan.local.isEmpty()) {
    StateWriter writer(dataFile_, state_, notes);
    store.setChangeListener(&writer);
    const SaveResult saved = store.Apply(plan.local);
    store.setChangeListener(nullptr);
    if (!saved) {
      return stop(localFailure(QStringLiteral("the data file cannot be written: ") +
                               whyNot(saved.error())));
    }
    if (!writer.written()) {
      return stop(
          localFailure(QStringLiteral("the sync state cannot be written: ") + writer.error()));
    }
  } else if (stateChanged || notes > 0) {
    if (const QString error = saveState(); !error.isEmpty()) return stop(localFailure(error));
    if (notes > 0) dropChangeJournalNotes(changeJournalPath(dataFile_), notes);
  }
  sendPending();
}

QString SyncEngine::saveState(const ChangeSet& local) {
  sinceSave_ = 0;
  StateWriter writer(dataFile_, state_, 0);
  if (!local.isEmpty()) {
    // The sync's own store: a copy that saved since it loaded is merged as for any save.
    store_->setChangeListener(&writer);
    const SaveResult saved = store_->Apply(local);
    store_->setChangeListener(nullptr);
    if (!saved) return QStringLiteral("the data file cannot be written: ") + whyNot(saved.error());
  } else {
    DataFileLock lock(dataFile_);
    if (const std::optional<WriteError> error = lock.take(kLockWaitMs, {})) {
      return QStringLiteral("the sync state cannot be written: ") + whyNot(*error);
    }
    writer.write();
  }
  if (!writer.written()) {
    return QStringLiteral("the sync state cannot be written: ") + writer.error();
  }
  return {};
}

void SyncEngine::stop(const DavResult& failure) {
  SyncOutcome outcome;
  outcome.summary = summary_;
  outcome.failure = failure;
  QString why = failure.message;
  if (why.isEmpty()) why = describe(failure.outcome);
  const QString server = host();
  if (why.startsWith(server + QStringLiteral(": "))) why.remove(0, server.size() + 2);
  outcome.error = QStringLiteral("Synchronisation with %1 failed: %2").arg(server, why);
  finish(std::move(outcome));
}

void SyncEngine::succeed() {
  SyncOutcome outcome;
  outcome.succeeded = true;
  outcome.summary = summary_;
  finish(std::move(outcome));
}

void SyncEngine::finish(SyncOutcome outcome) {
  syncLock_.reset();
  stateReading_.reset();
  store_.reset();  // its reading ahead ends before its folder goes
  workDir_.reset();
  running_ = false;
  Q_EMIT finished(outcome);
}

SyncRunnerFactory engineFactory() {
  return [](const QString& dataFile, CardDavClient& client) {
    return std::unique_ptr<SyncRunner>(std::make_unique<SyncEngine>(dataFile, client));
  };
}

}  // namespace tavelin::sync
