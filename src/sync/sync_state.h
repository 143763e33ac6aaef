#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

#include "record_store/atomic_file.h"

namespace tavelin::sync {

// What the last sync left for one contact: who it is on the server and the card as it was
// then, so that a later sync can tell which side changed it and merge from the common base.
struct SyncedContact {
  // What the server still has to be told about this contact.
  enum class Pending {
    None,
    Upload,   // the line's fields go up: as a new card when etag is empty, else with If-Match
    Removal,  // its line was deleted here: the card goes
  };
  QString uid;
  QString href;     // encoded absolute path, as the server named it
  QByteArray etag;  // as the server sent it, quotes included; empty: not on the server yet
  QByteArray card;  // the card's bytes at the last sync
  QString line;     // the data-file line the contact stands for
  Pending pending = Pending::None;
  bool operator==(const SyncedContact&) const = default;
};

struct SyncState {
  QString collection;                   // the address book's URL
  QString syncToken;                    // empty: none yet, list everything
  std::vector<SyncedContact> contacts;  // one per href, in href order
  bool operator==(const SyncState&) const = default;

  const SyncedContact* findHref(const QString& href) const;
  // Adds or replaces the contact with this href, keeping the href order.
  void put(SyncedContact contact);
  bool removeHref(const QString& href);
};

// The state file beside a data file: every copy on that data file shares it.
QString syncStatePath(const QString& dataFile);

// Reads the file (CBOR, or the JSON of the first version); damaged or foreign entries are
// left out (one without href or UID, a second one for an href), never trusted. A file cut
// short or otherwise unreadable yields an empty state, which the next sync rebuilds by
// matching, never a part of one.
SyncState parseSyncState(QByteArrayView bytes);
// The address book and the token alone, from the start of a file of the current format,
// without its contacts: enough to ask for the changes while the rest is read. Empty for
// anything else. Whether the file is whole is for parseSyncState to say.
SyncState peekSyncState(QByteArrayView bytes);
QByteArray formatSyncState(const SyncState& state);

// A file that is missing reads as empty; one that cannot be read says why.
struct SyncStateBytes {
  QByteArray bytes;
  QString error;
};
SyncStateBytes readSyncStateBytes(const QString& path);

// A file that is missing reads as an empty state; one that cannot be read says why.
struct SyncStateRead {
  SyncState state;
  QString error;
};
SyncStateRead readSyncState(const QString& path);
// Atomic: the old file stays whole until the new one is complete. The caller holds the data
// file's lock, so that copies sharing the file write it one at a time.
std::optional<WriteError> writeSyncState(const QString& path, const SyncState& state);

}  // namespace tavelin::sync
