#include "sync/sync_state.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <optional>

namespace tavelin::sync {

namespace {

// Version 1 was JSON; version 2 is CBOR, read and written in a few milliseconds where the
// JSON of a large book took tens, twice in every sync that changes something.
constexpr int kJsonVersion = 1;
constexpr int kFormatVersion = 2;
// CBOR's own mark for "what follows is CBOR", first in every file of version 2.
constexpr quint64 kCborMark = 55799;
constexpr qint64 kMaxFileBytes = qint64(1) << 30;
constexpr qsizetype kMaxTextBytes = 8 << 10;   // a UID, an href, an ETag, a URL or a token
constexpr qsizetype kMaxLineChars = 64 << 10;  // a data-file line

bool lessByHref(const SyncedContact& a, const SyncedContact& b) {
  return a.href < b.href;
}

QString boundedText(const QJsonValue& value, qsizetype limit = kMaxTextBytes) {
  const QString text = value.toString();
  // A lone surrogate would not survive the next write: such a text is damage.
  if (text.size() > limit || QString::fromUtf8(text.toUtf8()) != text) return {};
  return text;
}

// What is pending, as the state file numbers it and as its older text form named it; never
// renumbered or renamed.
struct PendingForm {
  SyncedContact::Pending pending;
  quint64 number;
  QLatin1String text;
};
constexpr PendingForm kPendingForms[] = {
    {SyncedContact::Pending::None, 0, QLatin1String("")},
    {SyncedContact::Pending::Upload, 1, QLatin1String("upload")},
    {SyncedContact::Pending::Removal, 2, QLatin1String("removal")},
};

SyncedContact::Pending pendingOf(const QJsonValue& value) {
  const QString text = value.toString();
  for (const PendingForm& form : kPendingForms) {
    if (form.text == text) return form.pending;
  }
  return SyncedContact::Pending::None;
}

std::optional<SyncedContact::Pending> pendingOf(quint64 number) {
  for (const PendingForm& form : kPendingForms) {
    if (form.number == number) return form.pending;
  }
  return std::nullopt;
}

quint64 pendingNumber(SyncedContact::Pending pending) {
  for (const PendingForm& form : kPendingForms) {
    if (form.pending == pending) return form.number;
  }
  return 0;
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

namespace {

// The sync state as a build of before version 2 wrote it.
SyncState parseJsonState(QByteArrayView bytes) {
  SyncState state;
  const QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray());
  const QJsonObject root = document.object();
  if (root.value(QStringLiteral("version")).toInt() != kJsonVersion) return state;
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

// One string of its kind (text or bytes), whole, of at most limit bytes; anything else leaves
// ok false. The length is the file's word until read: never more is made room for than the
// limit, at most the file's size.
template <typename T>
T readString(QCborStreamReader& in, bool isKind,
             QCborStreamReader::StringResult<T> (QCborStreamReader::*readChunk)(), qsizetype limit,
             bool& ok) {
  if (!ok || !isKind || !in.isLengthKnown() || in.length() > quint64(limit)) {
    ok = false;
    return {};
  }
  T whole;
  whole.reserve(qsizetype(in.length()));
  for (auto chunk = (in.*readChunk)(); ok; chunk = (in.*readChunk)()) {
    if (chunk.status == QCborStreamReader::Error) ok = false;
    if (chunk.status != QCborStreamReader::Ok) break;
    whole += chunk.data;
  }
  return whole;
}

QString readText(QCborStreamReader& in, qsizetype limit, bool& ok) {
  return readString(in, in.isString(), &QCborStreamReader::readString, limit, ok);
}

QByteArray readBytes(QCborStreamReader& in, qsizetype limit, bool& ok) {
  return readString(in, in.isByteArray(), &QCborStreamReader::readByteArray, limit, ok);
}

bool enterArray(QCborStreamReader& in, quint64 length) {
  return in.isArray() && in.isLengthKnown() && in.length() == length && in.enterContainer();
}

// [uid, href, etag, card, line, pending]; false when the file is damaged from here on.
bool readContact(QCborStreamReader& in, qsizetype fileSize, SyncState& state) {
  if (!enterArray(in, 6)) return false;
  bool ok = true;
  SyncedContact contact;
  contact.uid = readText(in, kMaxTextBytes, ok);
  contact.href = readText(in, kMaxTextBytes, ok);
  contact.etag = readBytes(in, fileSize, ok);
  contact.card = readBytes(in, fileSize, ok);
  contact.line = readText(in, kMaxLineChars * 3, ok);
  if (!ok || !in.isUnsignedInteger()) return false;
  const std::optional<SyncedContact::Pending> pending = pendingOf(in.toUnsignedInteger());
  if (!in.next() || !in.leaveContainer()) return false;
  // An entry no write of ours makes is left out; the rest of the file still counts.
  if (contact.uid.isEmpty() || contact.href.isEmpty() || contact.etag.size() > kMaxTextBytes ||
      contact.line.size() > kMaxLineChars || !pending || state.findHref(contact.href)) {
    return true;
  }
  contact.pending = *pending;
  state.put(std::move(contact));
  return true;
}

// The mark, the version, the address book and the token; in is then at the contacts.
bool readHead(QCborStreamReader& in, SyncState& state) {
  if (!in.isTag() || in.toTag() != QCborTag(kCborMark) || !in.next() || !enterArray(in, 4)) {
    return false;
  }
  if (!in.isUnsignedInteger() || in.toUnsignedInteger() != kFormatVersion || !in.next()) {
    return false;
  }
  bool ok = true;
  state.collection = readText(in, kMaxTextBytes, ok);
  state.syncToken = readText(in, kMaxTextBytes, ok);
  return ok;
}

// The file whole, or nothing: a state with some of its contacts missing would have their
// lines uploaded again as new cards.
SyncState parseCborState(QByteArrayView bytes) {
  QCborStreamReader in(bytes.data(), bytes.size());
  SyncState state;
  if (!readHead(in, state) || !in.isArray() || !in.isLengthKnown()) return {};
  const quint64 count = in.length();
  if (!in.enterContainer()) return {};
  for (quint64 i = 0; i < count; ++i) {
    if (!readContact(in, bytes.size(), state)) return {};
  }
  if (!in.leaveContainer() || !in.leaveContainer() || in.lastError() != QCborError::NoError ||
      in.currentOffset() != bytes.size()) {
    return {};
  }
  return state;
}

}  // namespace

SyncState parseSyncState(QByteArrayView bytes) {
  if (bytes.size() > kMaxFileBytes) return {};
  const QByteArrayView text = bytes.trimmed();
  if (text.startsWith('{')) return parseJsonState(text);
  return parseCborState(bytes);
}

SyncState peekSyncState(QByteArrayView bytes) {
  QCborStreamReader in(bytes.data(), bytes.size());
  SyncState head;
  if (!readHead(in, head)) return {};
  return head;
}

QByteArray formatSyncState(const SyncState& state) {
  QByteArray bytes;
  qsizetype size = 256 + state.collection.size() + state.syncToken.size();
  for (const SyncedContact& contact : state.contacts) {
    size += 32 + contact.uid.size() + contact.href.size() + contact.etag.size() +
            contact.card.size() + contact.line.size() * 3;
  }
  bytes.reserve(size);
  QCborStreamWriter out(&bytes);
  out.append(QCborTag(kCborMark));
  out.startArray(4);
  out.append(quint64(kFormatVersion));
  out.append(state.collection);
  out.append(state.syncToken);
  out.startArray(quint64(state.contacts.size()));
  for (const SyncedContact& contact : state.contacts) {
    out.startArray(6);
    out.append(contact.uid);
    out.append(contact.href);
    out.append(contact.etag);
    out.append(contact.card);
    out.append(contact.line);
    out.append(pendingNumber(contact.pending));
    out.endArray();
  }
  out.endArray();
  out.endArray();
  return bytes;
}

SyncStateBytes readSyncStateBytes(const QString& path) {
  QFile file(path);
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly)) return {{}, file.errorString()};
  if (file.size() > kMaxFileBytes) return {{}, QStringLiteral("the file is too large")};
  return {file.readAll(), {}};
}

SyncStateRead readSyncState(const QString& path) {
  const SyncStateBytes file = readSyncStateBytes(path);
  if (!file.error.isEmpty()) return {{}, file.error};
  return {parseSyncState(file.bytes), {}};
}

std::optional<WriteError> writeSyncState(const QString& path, const SyncState& state) {
  return writeFileAtomically(path, formatSyncState(state));
}

}  // namespace tavelin::sync
