#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace tavelin::platform {
class SettingsStore;
}

namespace tavelin::sync {

// The sync account, section [CardDAV] of Tavelin.ini. The password is never among them.
struct SyncSettings {
  QString url;  // an address book, or only the server's address, as the user typed it
  QString user;
  int intervalMinutes = 15;  // 0: only on demand and a few seconds after a save
  QString passwordFile;      // for scripted syncs; empty: the secret store
  QByteArray trustedSha256;  // a certificate the user trusts although it fails the checks
  QString plainHttpHost;     // the one server the user agreed to reach over plain http

  // No Url: no sync at all.
  bool configured() const { return !url.trimmed().isEmpty(); }
  // The url with https:// put in front of an address typed without a scheme.
  QUrl serverUrl() const;
  // Whether plain http to the server of serverUrl() was agreed to.
  bool allowsPlainHttp() const;
  // The account the secret store keeps the password under: "user@host[:port]".
  QString secretAccount() const;

  bool operator==(const SyncSettings&) const = default;
};

inline constexpr int kDefaultIntervalMinutes = 15;
inline constexpr int kMaxIntervalMinutes = 24 * 60;
inline const QString kSecretService = QStringLiteral("Tavelin CardDAV");

// A missing or unreadable Interval is the default; one out of range is brought within it.
SyncSettings readSyncSettings(const platform::SettingsStore& store);
// False when the settings file could not be written.
bool writeSyncSettings(platform::SettingsStore& store, const SyncSettings& settings);

// Whether plain http to this URL's host needs the user's yes: any host but this machine.
bool needsPlainHttpConsent(const QUrl& url);
// The server as plainHttpHost names it: "host" or "host:port".
QString serverKey(const QUrl& url);

}  // namespace tavelin::sync
