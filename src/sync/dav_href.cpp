#include "sync/dav_href.h"

namespace tavelin::sync {

namespace {

QString encodedPath(const QUrl& url) {
  return url.adjusted(QUrl::NormalizePathSegments).path(QUrl::FullyEncoded);
}

int portOf(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return url.port(scheme == QLatin1String("https")  ? 443
                  : scheme == QLatin1String("http") ? 80
                                                    : -1);
}

}  // namespace

QUrl collectionUrl(const QUrl& url) {
  QUrl clean = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment |
                            QUrl::NormalizePathSegments);
  QString path = clean.path(QUrl::FullyEncoded);
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  clean.setPath(path, QUrl::StrictMode);
  return clean;
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
  return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
         a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && portOf(a) == portOf(b);
}

std::optional<QString> hrefWithin(const QUrl& scope, const QUrl& base, const QString& href) {
  const QString trimmed = href.trimmed();
  if (trimmed.isEmpty() || trimmed.size() > 4096) return std::nullopt;
  const QUrl relative(trimmed, QUrl::StrictMode);
  if (!relative.isValid() || relative.hasQuery() || relative.hasFragment()) return std::nullopt;
  const QUrl resolved = base.resolved(relative);
  if (!resolved.isValid() || !sameOrigin(resolved, scope) || !resolved.userInfo().isEmpty()) {
    return std::nullopt;
  }
  const QString path = encodedPath(resolved);
  QString scopePath = encodedPath(scope);
  if (!scopePath.endsWith(QLatin1Char('/'))) scopePath += QLatin1Char('/');
  // A collection may be named with or without its closing slash.
  if (path != scopePath.chopped(1) && !path.startsWith(scopePath)) return std::nullopt;
  // A server decodes before it resolves: an encoded dot segment or slash would lead elsewhere.
  for (const QString& segment : path.split(QLatin1Char('/'))) {
    const QString decoded = QUrl::fromPercentEncoding(segment.toLatin1());
    if (decoded == QLatin1String(".") || decoded == QLatin1String("..") ||
        decoded.contains(QLatin1Char('/')) || decoded.contains(QLatin1Char('\\'))) {
      return std::nullopt;
    }
  }
  return path;
}

std::optional<QString> memberHref(const QUrl& collection, const QString& href) {
  const QUrl scope = collectionUrl(collection);
  std::optional<QString> path = hrefWithin(scope, scope, href);
  const QString own = scope.path(QUrl::FullyEncoded);
  if (!path || *path == own || *path == own.chopped(1)) return std::nullopt;
  return path;
}

QUrl urlOfPath(const QUrl& scope, const QString& encodedPath) {
  QUrl url = scope.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
  url.setPath(encodedPath, QUrl::StrictMode);
  return url;
}

}  // namespace tavelin::sync
