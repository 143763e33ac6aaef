#pragma once

// A synced book against a real server: the data file in a test's own working directory, a
// second client standing for another device, and a sync run to its end.
#include <QNetworkAccessManager>
#include <QTest>
#include <map>
#include <memory>

#include "carddav_wait.h"
#include "dav_server.h"
#include "record_store/record_store.h"
#include "support/test_env.h"
#include "sync/card_merge.h"
#include "sync/change_journal.h"
#include "sync/sync_engine.h"

namespace tavelin::test {

inline FieldTexts person(const QString& name, const QString& phone = {}, const QString& mail = {}) {
  FieldTexts f;
  f[0] = name;
  f[4] = phone;
  f[8] = mail;
  return f;
}

class SyncFixture {
 public:
  SyncFixture(QNetworkAccessManager& network, DavServer& server, const QString& password)
      : network_(network), server_(server), password_(password) {}

  std::unique_ptr<sync::CardDavClient> client(const QString& password = {}) {
    return std::make_unique<sync::CardDavClient>(
        network_, davAccount(server_.addressBook(), password.isEmpty() ? password_ : password));
  }

  // One sync of TAVELIN.FIL by a new engine, to its end.
  sync::SyncOutcome sync(sync::CardDavClient* with = nullptr,
                         const std::function<void(sync::SyncEngine&)>& setUp = {}) {
    std::unique_ptr<sync::CardDavClient> own = with ? nullptr : client();
    sync::SyncEngine engine(kDataFileName, with ? *with : *own);
    if (setUp) setUp(engine);
    std::optional<sync::SyncOutcome> outcome;
    QObject::connect(&engine, &sync::SyncRunner::finished,
                     [&outcome](const sync::SyncOutcome& o) { outcome = o; });
    engine.start();
    if (!QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 120'000)) outcome.reset();
    if (!outcome) {
      sync::SyncOutcome none;
      none.error = QStringLiteral("the sync did not end");
      return none;
    }
    return *outcome;
  }

  // The records of the data file, by Full Name.
  std::map<QString, FieldTexts> local() {
    RecordStore store(work_.filePath(QStringLiteral("w")));
    store.SortFile();
    std::map<QString, FieldTexts> out;
    for (int row = 0; row < store.rowCount(); ++row) {
      const std::optional<FieldTexts> f = sync::lineFields(store.BuildRecordLine(row));
      if (f && !(*f)[0].isEmpty()) out[(*f)[0]] = *f;
    }
    return out;
  }
  int localCount() {
    RecordStore store(work_.filePath(QStringLiteral("w")));
    store.SortFile();
    int count = 0;
    for (int row = 0; row < store.rowCount(); ++row) {
      if (!store.table().value(row, 0).isEmpty()) ++count;
    }
    return count;
  }

  // A save as the window makes it, with the journal a synced book keeps.
  void save(const std::function<void(RecordStore&, ChangeSet&)>& edit) {
    RecordStore store(work_.filePath(QStringLiteral("w")));
    sync::ChangeJournal journal(kDataFileName);
    store.setChangeListener(&journal);
    store.SortFile();
    ChangeSet changes;
    edit(store, changes);
    QVERIFY(store.Apply(changes));
  }
  void add(const FieldTexts& f) {
    save([&f](RecordStore&, ChangeSet& c) { c.added << sync::fieldsLine(f); });
  }
  void replace(const QString& name, const FieldTexts& f) {
    save([&](RecordStore& s, ChangeSet& c) {
      c.replaced.append({lineNamed(s, name), sync::fieldsLine(f)});
    });
  }
  void remove(const QString& name) {
    save([&](RecordStore& s, ChangeSet& c) { c.removed << lineNamed(s, name); });
  }
  static QString lineNamed(RecordStore& s, const QString& name) {
    for (int row = 0; row < s.rowCount(); ++row) {
      if (s.table().value(row, 0) == name) return s.BuildRecordLine(row);
    }
    return {};
  }

  // The server's cards, as another device sees them: href -> card.
  std::map<QString, sync::FetchedCard> remote() {
    std::map<QString, sync::FetchedCard> out;
    auto c = client();
    const auto listing =
        awaitResult<sync::EtagListing>([&](auto done) { c->listEtags(std::move(done)); });
    if (!listing || !listing->result.ok()) return out;
    QStringList hrefs;
    for (const auto& m : listing->members) hrefs << m.href;
    bool ended = false;
    c->multiget(
        hrefs,
        [&out](sync::CardBatch b) {
          for (auto& card : b.cards) out[card.href] = card;
        },
        [&ended](sync::DavResult) { ended = true; });
    if (!QTest::qWaitFor([&ended] { return ended; }, 30'000)) return {};
    return out;
  }
  std::map<QString, FieldTexts> remoteByName() {
    std::map<QString, FieldTexts> out;
    for (const auto& [href, card] : remote()) {
      if (const auto f = sync::cardFields(card.card)) out[(*f)[0]] = *f;
    }
    return out;
  }
  sync::FetchedCard remoteNamed(const QString& name) {
    for (const auto& [href, card] : remote()) {
      const auto f = sync::cardFields(card.card);
      if (f && (*f)[0] == name) return card;
    }
    return {};
  }

  // Another device's edits.
  bool putThere(const QString& uid, const QByteArray& card) {
    auto c = client();
    const auto put = awaitResult<sync::PutResult>([&](auto done) {
      c->putNew(c->hrefFor(uid + QStringLiteral(".vcf")), card, std::move(done));
    });
    return put && put->result.ok();
  }
  bool changeThere(const sync::FetchedCard& card, const QByteArray& bytes) {
    auto c = client();
    const auto put = awaitResult<sync::PutResult>(
        [&](auto done) { c->putChanged(card.href, bytes, card.etag, std::move(done)); });
    return put && put->result.ok();
  }
  bool removeThere(const sync::FetchedCard& card) {
    auto c = client();
    const auto done = awaitResult<sync::DavResult>(
        [&](auto d) { c->remove(card.href, card.etag, std::move(d)); });
    return done && done->ok();
  }
  void clearServer() {
    for (const auto& [href, card] : remote()) removeThere(card);
  }

 private:
  QNetworkAccessManager& network_;
  DavServer& server_;
  QString password_;
  QTemporaryDir work_;
};

}  // namespace tavelin::test
