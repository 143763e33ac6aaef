// The server's side of a sync: each pending contact sent on its own, a few at a time, the
// state written every so many cards and at the end.
#include <QUuid>

#include "sync/card_merge.h"
#include "sync/sync_engine.h"

namespace tavelin::sync {

namespace {

using Pending = SyncedContact::Pending;

constexpr int kMaxAttempts = 3;

FieldTexts orNone(const std::optional<FieldTexts>& fields) {
  return fields ? *fields : FieldTexts{};
}

// The card's fields with our edits on top: every field we changed since the base.
FieldTexts withOurs(const FieldTexts& theirs, const FieldTexts& base, const FieldTexts& ours) {
  FieldTexts out = theirs;
  for (size_t k = 0; k < out.size(); ++k) {
    if (ours[k] != base[k]) out[k] = ours[k];
  }
  return out;
}

// Whether both sides changed one field, each its own way.
bool clash(const FieldTexts& theirs, const FieldTexts& base, const FieldTexts& ours) {
  for (size_t k = 0; k < ours.size(); ++k) {
    if (ours[k] != base[k] && theirs[k] != base[k] && ours[k] != theirs[k]) return true;
  }
  return false;
}

}  // namespace

void SyncEngine::keepTwice(SyncedContact contact, const FetchedCard& theirs, const FieldTexts& base,
                           const FieldTexts& ours, const QString& theirLine) {
  // Edited on both sides after all: theirs takes the line, ours is a contact of its own.
  SyncedContact copy;
  copy.uid = newUid();
  copy.href = client_.hrefFor(copy.uid + QStringLiteral(".vcf"));
  copy.card = mergeCard(contact.card, base, ours, copy.uid);
  copy.line = contact.line;
  copy.pending = Pending::Upload;
  followUps_.replaced.append({contact.line, theirLine});
  followUps_.added << contact.line;
  contact.card = theirs.card;
  contact.etag = theirs.etag;
  contact.line = theirLine;
  contact.pending = Pending::None;
  state_.put(contact);
  conflictCopies_.insert(copy.href);
  ++summary_.conflicts;
  queue_.push_back(copy.href);
  ++total_;
  state_.put(std::move(copy));
}

void SyncEngine::sendPending() {
  queue_.clear();
  for (const SyncedContact& contact : state_.contacts) {
    if (contact.pending != Pending::None) queue_.push_back(contact.href);
  }
  total_ = done_ + static_cast<int>(queue_.size());
  if (queue_.empty()) return succeed();
  Q_EMIT progress(done_, total_);
  sendNext();
}

int SyncEngine::parallelRequests() const {
  if (parallel_ > 0) return parallel_;
  // Requests in flight at once hide the network's round trips. A server on this machine has
  // none to hide, but one request waiting keeps it busy while this side reads an answer and
  // sends the next. More than that, Radicale (one request at a time) loses by: first uploads
  // of 2000 cards took 161.5 s two at a time against 166.6 s one at a time, and of 600 cards
  // 21.4 s four at a time against 19.5 s one at a time.
  return client_.onThisMachine() ? 2 : 4;
}

void SyncEngine::sendNext() {
  const int parallel = parallelRequests();
  while (!stopping_ && inFlight_ < parallel && !queue_.empty()) {
    const QString href = queue_.back();
    queue_.pop_back();
    sendOne(href);
  }
  if (inFlight_ > 0) return;
  if (!stopping_ && sentNew_ && !state_.syncToken.isEmpty()) {
    sentNew_ = false;
    return takeTokenAfterSending();
  }
  // What was done is kept, also when the sync stopped: the next goes on from there.
  const QString error = saveState(std::exchange(followUps_, {}));
  if (!error.isEmpty()) return stop(localFailure(error));
  if (stopping_) return stop(*failure_);
  succeed();
}

void SyncEngine::takeTokenAfterSending() {
  // Some servers leave out of the changes since a token a card added and deleted after it:
  // a card we added, then deleted there, would never be seen gone. When the changes since
  // the token are all ours, the next sync starts after our new cards. Edits and deletions
  // of cards the token already knew need no such step: the next sync sees them come back
  // with the ETags we hold, and skips them.
  client_.syncCollection(state_.syncToken, false, guarded([this](SyncChanges changes) {
                           bool ours = changes.result.ok() && !changes.truncated &&
                                       !changes.token.isEmpty();
                           for (const MemberEtag& member : changes.changed) {
                             const SyncedContact* known = state_.findHref(member.href);
                             ours = ours && known && known->etag == member.etag;
                           }
                           for (const QString& href : changes.removed)
                             ours = ours && !state_.findHref(href);
                           if (ours) state_.syncToken = changes.token;
                           sendNext();
                         }));
}

void SyncEngine::sendOne(const QString& href) {
  const SyncedContact* contact = state_.findHref(href);
  if (!contact || contact->pending == Pending::None) return;
  ++inFlight_;
  if (contact->pending == Pending::Removal) {
    sendRemoval(*contact);
  } else if (contact->etag.isEmpty()) {
    sentNew_ = true;
    sendNew(*contact);
  } else {
    sendChanged(*contact);
  }
}

void SyncEngine::sent(bool counted) {
  --inFlight_;
  if (counted) {
    ++done_;
    Q_EMIT progress(done_, total_);
  }
  // Written in batches: a large first upload must not rewrite the state once a card.
  if (!stopping_ && ++sinceSave_ >= stateBatch_) {
    if (const QString error = saveState(); !error.isEmpty()) {
      failure_ = localFailure(error);
      stopping_ = true;
      queue_.clear();
    }
  }
  sendNext();
}

void SyncEngine::failed(const DavResult& result) {
  failure_ = result;
  stopping_ = true;
  queue_.clear();
  sent(false);
}

void SyncEngine::retry(const QString& href) {
  if (++attempts_[href] > kMaxAttempts) {
    failure_ = localFailure(describe(DavOutcome::PreconditionFailed) +
                            QStringLiteral(" again and again: ") + href.left(200));
    stopping_ = true;
    queue_.clear();
    return;
  }
  queue_.push_back(href);
  ++total_;
}

void SyncEngine::fetchOne(const QString& href,
                          std::function<void(std::optional<FetchedCard>, DavResult)> done) {
  auto found = std::make_shared<std::optional<FetchedCard>>();
  client_.multiget(
      {href}, guarded([found, href](CardBatch batch) {
        for (FetchedCard& card : batch.cards) {
          if (card.href == href) *found = std::move(card);
        }
      }),
      guarded([found, done = std::move(done)](DavResult result) { done(*found, result); }));
}

void SyncEngine::sendRemoval(const SyncedContact& contact) {
  const QString href = contact.href;
  client_.remove(
      href, contact.etag, guarded([this, href](DavResult result) {
        if (result.ok() || result.outcome == DavOutcome::NotFound) {
          if (result.ok()) ++summary_.removedThere;
          state_.removeHref(href);
          return sent(true);
        }
        if (result.outcome != DavOutcome::PreconditionFailed) {
          return failed(result);
        }
        // Edited there since we looked: the edit is kept, here too.
        fetchOne(href, guarded([this, href](std::optional<FetchedCard> card, DavResult fetched) {
                   if (!fetched.ok()) {
                     return failed(fetched);
                   }
                   const SyncedContact* known = state_.findHref(href);
                   if (!card || !known) {
                     state_.removeHref(href);
                     return sent(true);
                   }
                   SyncedContact contact = *known;
                   const std::optional<FieldTexts> theirs = cardFields(card->card);
                   contact.etag = card->etag;
                   if (theirs && *theirs != orNone(cardFields(contact.card))) {
                     contact.line = fieldsLine(*theirs);
                     contact.pending = Pending::None;
                     followUps_.added << contact.line;
                     ++summary_.addedHere;
                   } else {
                     retry(href);
                   }
                   contact.card = card->card;
                   state_.put(contact);
                   sent(true);
                 }));
      }));
}

void SyncEngine::sendNew(const SyncedContact& contact) {
  const QString href = contact.href;
  const QString uid = contact.uid;
  const FieldTexts ours = orNone(lineFields(contact.line));
  const QByteArray card =
      mergeCard(contact.card, orNone(cardFields(contact.card)), ours, contact.uid);
  client_.putNew(
      href, card, guarded([this, href, uid, card, ours](PutResult put) {
        const SyncedContact* known = state_.findHref(href);
        if (!known) return sent(true);
        SyncedContact contact = *known;
        if (put.result.ok()) {
          if (!conflictCopies_.contains(href)) ++summary_.addedThere;
          contact.card = card;
          contact.pending = Pending::None;
          contact.etag = put.etag.value_or(QByteArray());
          state_.put(contact);
          if (!contact.etag.isEmpty()) return sent(true);
          // The server did not say the new ETag: ask for the card.
          return fetchOne(href, guarded([this, href](std::optional<FetchedCard> c, DavResult) {
                            if (c) {
                              SyncedContact updated = *state_.findHref(href);
                              updated.etag = c->etag;
                              updated.card = c->card;
                              state_.put(updated);
                            }
                            sent(true);
                          }));
        }
        if (put.result.outcome == DavOutcome::Conflict) {
          return adoptExisting(href, uid, put.result.conflictHref);
        }
        if (put.result.outcome != DavOutcome::PreconditionFailed) {
          return failed(put.result);
        }
        // Already there: a sync that stopped after sending it. Taken as it stands.
        fetchOne(href, guarded([this, href, ours](std::optional<FetchedCard> c, DavResult fetched) {
                   if (!fetched.ok()) {
                     return failed(fetched);
                   }
                   if (!c) {
                     retry(href);
                     return sent(false);
                   }
                   SyncedContact updated = *state_.findHref(href);
                   updated.etag = c->etag;
                   updated.card = c->card;
                   updated.pending = Pending::None;
                   const std::optional<FieldTexts> theirs = cardFields(c->card);
                   if (theirs && *theirs != ours) {
                     const QString line = fieldsLine(*theirs);
                     followUps_.replaced.append({updated.line, line});
                     updated.line = line;
                   }
                   state_.put(updated);
                   sent(true);
                 }));
      }));
}

void SyncEngine::adoptExisting(const QString& href, const QString& uid, const QString& hint) {
  // The card that holds the UID, found where the server said or else by listing the book.
  const auto adopt = [this, href](const FetchedCard& card) {
    SyncedContact contact = *state_.findHref(href);
    state_.removeHref(href);
    const FieldTexts ours = orNone(lineFields(contact.line));
    contact.href = card.href;
    contact.etag = card.etag;
    contact.card = card.card;
    contact.pending = orNone(cardFields(card.card)) == ours ? Pending::None : Pending::Upload;
    state_.put(contact);
    if (contact.pending == Pending::Upload) retry(card.href);
    sent(true);
  };
  const auto fail = [this](const DavResult& result) { failed(result); };
  if (!hint.isEmpty() && !state_.findHref(hint)) {
    return fetchOne(hint, guarded([adopt, fail](std::optional<FetchedCard> c, DavResult r) {
                      if (!r.ok()) return fail(r);
                      if (!c) {
                        r.outcome = DavOutcome::Conflict;
                        r.message = describe(DavOutcome::Conflict);
                        return fail(r);
                      }
                      adopt(*c);
                    }));
  }
  client_.listEtags(guarded([this, uid, adopt, fail](EtagListing listing) {
    if (!listing.result.ok()) return fail(listing.result);
    QStringList unknown;
    for (const MemberEtag& member : listing.members) {
      if (!state_.findHref(member.href)) unknown << member.href;
    }
    auto found = std::make_shared<std::optional<FetchedCard>>();
    client_.multiget(unknown, guarded([found, uid](CardBatch batch) {
                       for (FetchedCard& card : batch.cards) {
                         if (!*found && cardUid(card.card) == uid) *found = std::move(card);
                       }
                     }),
                     guarded([this, found, adopt, fail](DavResult result) {
                       if (!result.ok()) return fail(result);
                       if (!*found) {
                         result.outcome = DavOutcome::Conflict;
                         result.message =
                             host() + QStringLiteral(": ") + describe(DavOutcome::Conflict);
                         return fail(result);
                       }
                       adopt(**found);
                     }));
  }));
}

void SyncEngine::sendChanged(const SyncedContact& contact) {
  const QString href = contact.href;
  const FieldTexts base = orNone(cardFields(contact.card));
  const FieldTexts ours = orNone(lineFields(contact.line));
  const QByteArray card = mergeCard(contact.card, base, ours, contact.uid);
  client_.putChanged(
      href, card, contact.etag, guarded([this, href, card, base, ours](PutResult put) {
        const SyncedContact* known = state_.findHref(href);
        if (!known) return sent(true);
        SyncedContact contact = *known;
        if (put.result.ok()) {
          ++summary_.changedThere;
          contact.card = card;
          contact.pending = Pending::None;
          // Without the new ETag the next sync fetches the card once and finds it equal.
          contact.etag = put.etag.value_or(QByteArrayLiteral("\"\""));
          state_.put(contact);
          return sent(true);
        }
        const auto keepAsNew = [this, href, base, ours](SyncedContact contact) {
          // Deleted there meanwhile: the edit is kept, as a card of its own.
          state_.removeHref(href);
          contact.uid = newUid();
          contact.href = client_.hrefFor(contact.uid + QStringLiteral(".vcf"));
          contact.card = mergeCard(contact.card, base, ours, contact.uid);
          contact.etag.clear();
          contact.pending = Pending::Upload;
          state_.put(contact);
          queue_.push_back(contact.href);
          ++total_;
          sent(true);
        };
        if (put.result.outcome == DavOutcome::NotFound) return keepAsNew(contact);
        if (put.result.outcome != DavOutcome::PreconditionFailed) {
          return failed(put.result);
        }
        // Changed there since we fetched it: ours goes onto theirs, and the line shows both.
        fetchOne(href, guarded([this, href, base, ours, keepAsNew](std::optional<FetchedCard> c,
                                                                   DavResult fetched) {
                   if (!fetched.ok()) {
                     return failed(fetched);
                   }
                   SyncedContact contact = *state_.findHref(href);
                   if (!c) return keepAsNew(contact);
                   const FieldTexts theirs = orNone(cardFields(c->card));
                   if (clash(theirs, base, ours)) {
                     keepTwice(contact, *c, base, ours, fieldsLine(theirs));
                     return sent(false);
                   }
                   const FieldTexts both = withOurs(theirs, base, ours);
                   contact.card = c->card;
                   contact.etag = c->etag;
                   if (both != ours) {
                     const QString line = fieldsLine(both);
                     followUps_.replaced.append({contact.line, line});
                     contact.line = line;
                   }
                   contact.pending = both == theirs ? Pending::None : Pending::Upload;
                   state_.put(contact);
                   if (contact.pending == Pending::Upload) retry(href);
                   sent(false);
                 }));
      }));
}

}  // namespace tavelin::sync
