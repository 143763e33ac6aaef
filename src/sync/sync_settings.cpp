#include "sync/sync_settings.h"

#include <QHostAddress>

#include "platform/settings_store.h"

namespace tavelin::sync {

namespace {

const QString kGroup = QStringLiteral("CardDAV");

int intervalFrom(const QString& text) {
  bool ok = false;
  const int minutes = text.trimmed().toInt(&ok);
  if (!ok) return kDefaultIntervalMinutes;
  return std::clamp(minutes, 0, kMaxIntervalMinutes);
}

}  // namespace

QUrl SyncSettings::serverUrl() const {
  const QString text = url.trimmed();
  if (text.isEmpty()) return {};
  // "dav.example.org/ann/" has no scheme: QUrl would read the host as a path.
  const bool hasScheme = text.contains(QLatin1String("://"));
  return QUrl(hasScheme ? text : QStringLiteral("https://") + text, QUrl::StrictMode);
}

bool SyncSettings::allowsPlainHttp() const {
  const QUrl server = serverUrl();
  return !plainHttpHost.isEmpty() &&
         plainHttpHost.compare(serverKey(server), Qt::CaseInsensitive) == 0;
}

QString SyncSettings::secretAccount() const {
  return user + u'@' + serverKey(serverUrl());
}

QString serverKey(const QUrl& url) {
  return url.port() == -1 ? url.host() : url.host() + u':' + QString::number(url.port());
}

bool needsPlainHttpConsent(const QUrl& url) {
  if (url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0) return false;
  const QString host = url.host();
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return false;
  const QHostAddress address(host);
  return address.isNull() || !address.isLoopback();
}

SyncSettings readSyncSettings(const platform::SettingsStore& store) {
  SyncSettings s;
  s.url = store.value(kGroup, QStringLiteral("Url")).trimmed();
  s.user = store.value(kGroup, QStringLiteral("User"));
  const QString interval = store.value(kGroup, QStringLiteral("Interval"));
  s.intervalMinutes = interval.isEmpty() ? kDefaultIntervalMinutes : intervalFrom(interval);
  s.passwordFile = store.value(kGroup, QStringLiteral("PasswordFile"));
  s.trustedSha256 = store.value(kGroup, QStringLiteral("TrustedCertificateSha256"))
                        .trimmed()
                        .toLatin1()
                        .toLower();
  s.plainHttpHost = store.value(kGroup, QStringLiteral("PlainHttpHost")).trimmed();
  return s;
}

bool writeSyncSettings(platform::SettingsStore& store, const SyncSettings& s) {
  bool ok = store.setValue(kGroup, QStringLiteral("Url"), s.url.trimmed());
  ok = store.setValue(kGroup, QStringLiteral("User"), s.user) && ok;
  ok = store.setValue(kGroup, QStringLiteral("Interval"),
                      QString::number(std::clamp(s.intervalMinutes, 0, kMaxIntervalMinutes))) &&
       ok;
  ok = store.setValue(kGroup, QStringLiteral("PasswordFile"), s.passwordFile) && ok;
  ok = store.setValue(kGroup, QStringLiteral("TrustedCertificateSha256"),
                      QString::fromLatin1(s.trustedSha256)) &&
       ok;
  ok = store.setValue(kGroup, QStringLiteral("PlainHttpHost"), s.plainHttpHost) && ok;
  return ok;
}

}  // namespace tavelin::sync
