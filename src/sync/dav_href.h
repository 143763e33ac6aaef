#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace tavelin::sync {

// Hrefs come from the server and are untrusted: each is resolved against the address we asked
// and kept only when it names something inside the scope we expect (the address book, or
// during discovery the server itself). Paths are compared fully encoded, so an encoded slash
// or dot cannot walk out of the scope.

// The collection's address as we use it: no user, query or fragment, a path ending in '/'.
QUrl collectionUrl(const QUrl& url);

// Same scheme, host and port.
bool sameOrigin(const QUrl& a, const QUrl& b);

// The encoded absolute path of href resolved against base, when it lies within scope (the
// scope's own path included); nothing otherwise.
std::optional<QString> hrefWithin(const QUrl& scope, const QUrl& base, const QString& href);

// The same, but only for a member strictly below the collection (not the collection itself).
std::optional<QString> memberHref(const QUrl& collection, const QString& href);

// The full address of an encoded path on the scope's server.
QUrl urlOfPath(const QUrl& scope, const QString& encodedPath);

}  // namespace tavelin::sync
