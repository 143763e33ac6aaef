#pragma once

#include <QTest>
#include <functional>
#include <optional>
#include <type_traits>

#include "sync/carddav_client.h"

namespace tavelin::test {

// Runs one asynchronous client call and waits, bounded, for its callback. A call that never
// ends fails the test and reads as timed out, never as Ok.
template <typename T>
T awaitResult(const std::function<void(std::function<void(T)>)>& call, int timeoutMs = 20'000) {
  std::optional<T> out;
  call([&out](T value) { out = std::move(value); });
  if (QTest::qWaitFor([&out] { return out.has_value(); }, timeoutMs)) return *std::move(out);
  QTest::qFail("the call never ended", __FILE__, __LINE__);
  T none{};
  if constexpr (std::is_same_v<T, sync::DavResult>) {
    none.outcome = sync::DavOutcome::TimedOut;
  } else {
    none.result.outcome = sync::DavOutcome::TimedOut;
  }
  return none;
}

// The client's calls, each waited for.
inline sync::EtagListing listEtags(sync::CardDavClient& c) {
  return awaitResult<sync::EtagListing>([&](auto done) { c.listEtags(std::move(done)); });
}
inline sync::SyncChanges syncCollection(sync::CardDavClient& c, const QString& token,
                                        bool withCards = false) {
  return awaitResult<sync::SyncChanges>(
      [&](auto done) { c.syncCollection(token, withCards, std::move(done)); });
}
inline sync::PutResult putNew(sync::CardDavClient& c, const QString& href, const QByteArray& card) {
  return awaitResult<sync::PutResult>([&](auto done) { c.putNew(href, card, std::move(done)); });
}
inline sync::PutResult putChanged(sync::CardDavClient& c, const QString& href,
                                  const QByteArray& card, const QByteArray& etag) {
  return awaitResult<sync::PutResult>(
      [&](auto done) { c.putChanged(href, card, etag, std::move(done)); });
}
inline sync::DavResult removeCard(sync::CardDavClient& c, const QString& href,
                                  const QByteArray& etag) {
  return awaitResult<sync::DavResult>([&](auto done) { c.remove(href, etag, std::move(done)); });
}
inline sync::DavResult multiget(sync::CardDavClient& c, const QStringList& hrefs,
                                const std::function<void(sync::CardBatch)>& onBatch = {}) {
  return awaitResult<sync::DavResult>([&](auto done) {
    c.multiget(
        hrefs,
        [&](sync::CardBatch b) {
          if (onBatch) onBatch(std::move(b));
        },
        std::move(done));
  });
}

inline tavelin::sync::DavAccount davAccount(const QUrl& url,
                                            const QString& password = u"secret"_qs) {
  tavelin::sync::DavAccount account;
  account.url = url;
  account.user = u"ann"_qs;
  account.password = password;
  return account;
}

inline QByteArray vcard(const QByteArray& uid, const QByteArray& name) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + name + "\r\nN:" + name +
         ";;;;\r\nEND:VCARD\r\n";
}

}  // namespace tavelin::test
