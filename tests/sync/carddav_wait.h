#pragma once

#include <QTest>
#include <functional>
#include <optional>

#include "sync/carddav_client.h"

namespace tavelin::test {

// Runs one asynchronous client call and waits, bounded, for its callback.
template <typename T>
std::optional<T> awaitResult(const std::function<void(std::function<void(T)>)>& call,
                             int timeoutMs = 20'000) {
  std::optional<T> out;
  call([&out](T value) { out = std::move(value); });
  if (!QTest::qWaitFor([&out] { return out.has_value(); }, timeoutMs)) return std::nullopt;
  return out;
}

inline tavelin::sync::DavAccount davAccount(const QUrl& url,
                                            const QString& password = QStringLiteral("secret")) {
  tavelin::sync::DavAccount account;
  account.url = url;
  account.user = QStringLiteral("ann");
  account.password = password;
  return account;
}

inline QByteArray vcard(const QByteArray& uid, const QByteArray& name) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + name + "\r\nN:" + name +
         ";;;;\r\nEND:VCARD\r\n";
}

}  // namespace tavelin::test
