#include "sync/sync_state.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace tavelin::sync {

namespace {

constexpr int kFormatVersion = 1;
constexpr qint64 kMaxFileBytes = qint64(1) << 30;
constexpr qsizetype kMaxTextBytes = 8 << 10;   // a UID, an href, an ETag, a URL or a token
constexpr qsizetype kMaxLineChars = 64 << 10;  // a data-file line

const QString kUpload = QStringLiteral("upload");
const QString kRemoval = QStringLiteral("removal");

bool lessByHref(const SyncedContact& a, const SyncedContact& b) {
  return a.href < b.href;
}

QString boundedText(const QJsonValue& value, qsizetype limit = kMaxTextBytes) {
  const QString text = value.toString();
  // A lone surrogate would not survive the next write: such a text is damage.
  if (text.size() > limit || QString::fromUtf8(text.toUtf8()) != text) return {};
  return text;
}

SyncedContact::Pending pendingOf(const QJsonValue& value) {
  const QString text = value.toString();
  if (text == kUpload) return SyncedContact::Pending::Upload;
  if (text == kRemoval) return SyncedContact::Pending::Removal;
  return SyncedContact::Pending::None;
}

QString pendingText(SyncedContact::Pending pending) {
  switch (pending) {
    case SyncedContact::Pending::Upload:
      return kUpload;
    case SyncedContact::Pending::Removal:
      return kRemoval;
    case SyncedContact::Pending::None:
      break;
  }
  return {};
}

}  // namespace

const SyncedContact* SyncState::findHref(const QString& href) const {
  SyncedContact key;
  key.href = href;
  const auto at = std::lower_bound(contacts.begin(), contacts.end(), key, lessByHref);
  return at != contacts.end() && at->href == href ? &*at : nullptr;
}

void SyncState::put(SyncedContact contact) {
  const auto at = std::lower_bound(contacts.begin(), contacts.end(), contact, lessByHref);
  if (at != contacts.end() && at->href == contact.href) {
    *at = std::move(contact);
  } else {
    contacts.insert(at, std::move(contact));
  }
}

bool SyncState::removeHref(const QString& href) {
  SyncedContact key;
  key.href = href;
  const auto at = std::lower_bound(contacts.begin(), contacts.end(), key, lessByHref);
  if (at == contacts.end() || at->href != href) return false;
  contacts.erase(at);
  return true;
}

QString syncStatePath(const QString& dataFile) {
  return dataFile + QStringLiteral(".sync");
}

SyncState parseSyncState(QByteArrayView bytes) {
  SyncState state;
  if (bytes.size() > kMaxFileBytes) return state;
  const QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray());
  const QJsonObject root = document.object();
  if (root.value(QStringLiteral("version")).toInt() != kFormatVersion) return state;
  state.collection = boundedText(root.value(QStringLiteral("collection")));
  state.syncToken = boundedText(root.value(QStringLiteral("syncToken")));
  for (const QJsonValue& entry : root.value(QStringLiteral("contacts")).toArray()) {
    const QJsonObject object = entry.toObject();
    SyncedContact contact;
    contact.uid = boundedText(object.value(QStringLiteral("uid")));
    contact.href = boundedText(object.value(QStringLiteral("href")));
    contact.etag = boundedText(object.value(QStringLiteral("etag"))).toUtf8();
    contact.line = boundedText(object.value(QStringLiteral("line")), kMaxLineChars);
    contact.pending = pendingOf(object.value(QStringLiteral("pending")));
    const QByteArray card = object.value(QStringLiteral("card")).toString().toLatin1();
    const auto decoded =
        QByteArray::fromBase64Encoding(card, QByteArray::AbortOnBase64DecodingErrors);
    if (contact.uid.isEmpty() || contact.href.isEmpty() || !decoded) continue;
    contact.card = *decoded;
    if (state.findHref(contact.href)) continue;
    state.put(std::move(contact));
  }
  return state;
}

QByteArray formatSyncState(const SyncState& state) {
  QJsonArray contacts;
  for (const SyncedContact& contact : state.contacts) {
    QJsonObject object{{QStringLiteral("uid"), contact.uid},
                       {QStringLiteral("href"), contact.href},
                       {QStringLiteral("etag"), QString::fromUtf8(contact.etag)},
                       {QStringLiteral("card"), QString::fromLatin1(contact.card.toBase64())},
                       {QStringLiteral("line"), contact.line}};
    if (contact.pending != SyncedContact::Pending::None) {
      object.insert(QStringLiteral("pending"), pendingText(contact.pending));
    }
    contacts.append(object);
  }
  const QJsonObject root{{QStringLiteral("version"), kFormatVersion},
                         {QStringLiteral("collection"), state.collection},
                         {QStringLiteral("syncToken"), state.syncToken},
                         {QStringLiteral("contacts"), contacts}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

SyncStateRead readSyncState(const QString& path) {
  QFile file(path);
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly)) return {{}, file.errorString()};
  if (file.size() > kMaxFileBytes) return {{}, QStringLiteral("the file is too large")};
  return {parseSyncState(file.readAll()), {}};
}

std::optional<WriteError> writeSyncState(const QString& path, const SyncState& state) {
  return writeFileAtomically(path, formatSyncState(state));
}

}  // namespace tavelin::sync
