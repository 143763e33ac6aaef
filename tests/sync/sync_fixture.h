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
  SyncFixture(QNetworkAccessManager& network, const QUrl& book,
              const QString& password = u"secret"_qs)
      : network_(network), book_(book), password_(password) {}

  std::unique_ptr<sync::CardDavClient> client(const QString& password = {}) {
    return std::make_unique<sync::CardDavClient>(
        network_, davAccount(book_, password.isEmpty() ? password_ : password));
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
      none.error = u"the sync did not end"_qs;
      return none;
    }
    return *outcome;
  }

  // A sync during which another device does something, once, as the first card is handled.
  sync::SyncOutcome syncWhile(const std::function<void()>& meanwhile, bool* happened) {
    *happened = false;
    return sync(nullptr, [&](sync::SyncEngine& engine) {
      QObject::connect(&engine, &sync::SyncRunner::progress, [&](int, int) {
        if (!*happened) meanwhile();
        *happened = true;
      });
    });
  }

  // The named records of the data file, in its order and by Full Name.
  std::vector<FieldTexts> records() {
    RecordStore store(work_.filePath(u"w"_qs));
    store.SortFile();
    std::vector<FieldTexts> out;
    for (int row = 0; row < store.rowCount(); ++row) {
      const std::optional<FieldTexts> f = sync::lineFields(store.BuildRecordLine(row));
      if (f && !(*f)[0].isEmpty()) out.push_back(*f);
    }
    return out;
  }
  std::map<QString, FieldTexts> local() {
    std::map<QString, FieldTexts> out;
    for (const FieldTexts& f : records()) out[f[0]] = f;
    return out;
  }
  int localCount() { return int(records().size()); }

  // A save as the window makes it, with the journal a synced book keeps.
  void save(const std::function<void(RecordStore&, ChangeSet&)>& edit) {
    RecordStore store(work_.filePath(u"w"_qs));
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
    QStringList hrefs;
    for (const auto& m : listEtags(*c).members) hrefs << m.href;
    if (hrefs.isEmpty()) return out;
    multiget(*c, hrefs, [&out](sync::CardBatch b) {
      for (auto& card : b.cards) out[card.href] = card;
    });
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
    return putNew(*c, c->hrefFor(uid + u".vcf"_qs), card).result.ok();
  }
  bool changeThere(const sync::FetchedCard& card, const QByteArray& bytes) {
    return putChanged(*client(), card.href, bytes, card.etag).result.ok();
  }
  // Another device's edit of the fields of the card named so.
  bool editThere(const QString& name, const FieldTexts& after) {
    const sync::FetchedCard card = remoteNamed(name);
    const std::optional<FieldTexts> before = sync::cardFields(card.card);
    return before &&
           changeThere(card, sync::mergeCard(card.card, *before, after, sync::cardUid(card.card)));
  }
  bool removeThere(const sync::FetchedCard& card) {
    return removeCard(*client(), card.href, card.etag).ok();
  }
  void clearServer() {
    for (const auto& [href, card] : remote()) removeThere(card);
  }

 private:
  QNetworkAccessManager& network_;
  QUrl book_;
  QString password_;
  QTemporaryDir work_;
};

}  // namespace tavelin::test
