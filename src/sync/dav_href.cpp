#include "sync/dav_href.h"

namespace tavelin::sync {

namespace {

// The path with each segment decoded and encoded again in the one way, so that a server's
// "a@b.vcf" and our "a%40b.vcf" are one href. Nothing for a segment that decodes to a dot
// segment or holds a slash: a server that decodes before it resolves would go elsewhere.
std::optional<QString> canonicalPath(const QUrl& url) {
  const QByteArray path =
      url.adjusted(QUrl::NormalizePathSegments).path(QUrl::FullyEncoded).toLatin1();
  QByteArray canonical;
  const QList<QByteArray> segments = path.split('/');
  for (qsizetype i = 0; i < segments.size(); ++i) {
    const QByteArray decoded = QByteArray::fromPercentEncoding(segments[i]);
    if (decoded == "." || decoded == ".." || decoded.contains('/') || decoded.contains('\\')) {
      return std::nullopt;
    }
    if (i > 0) canonical += '/';
    canonical += decoded.toPercentEncoding();
  }
  return QString::fromLatin1(canonical);
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
  QString path = canonicalPath(clean).value_or(clean.path(QUrl::FullyEncoded));
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
  const std::optional<QString> path = canonicalPath(resolved);
  std::optional<QString> scopePath = canonicalPath(scope);
  if (!path || !scopePath) return std::nullopt;
  if (!scopePath->endsWith(QLatin1Char('/'))) *scopePath += QLatin1Char('/');
  // A collection may be named with or without its closing slash.
  if (*path != scopePath->chopped(1) && !path->startsWith(*scopePath)) return std::nullopt;
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
