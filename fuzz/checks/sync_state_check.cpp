// The sync state file: any bytes read, and what is read is what a write of it reads back as.
#include "fuzz_checks.h"
#include "sync/sync_state.h"

namespace tavelin::fuzz {

QString checkSyncState(QByteArrayView bytes) {
  const sync::SyncState read = sync::parseSyncState(bytes);
  for (size_t i = 0; i < read.contacts.size(); ++i) {
    const sync::SyncedContact& contact = read.contacts[i];
    if (contact.uid.isEmpty() || contact.href.isEmpty()) return QStringLiteral("an empty key");
    if (i > 0 && !(read.contacts[i - 1].href < contact.href)) {
      return QStringLiteral("hrefs out of order or twice");
    }
  }
  // What a sync asks from before the rest is read: never another token than the file's.
  const sync::SyncState head = sync::peekSyncState(bytes);
  if (!head.contacts.empty()) return QStringLiteral("contacts in the head");
  if (!read.syncToken.isEmpty() && !(head == sync::SyncState{}) &&
      (head.syncToken != read.syncToken || head.collection != read.collection)) {
    return QStringLiteral("the head differs from the file");
  }
  const QByteArray written = sync::formatSyncState(read);
  if (!(sync::parseSyncState(written) == read))
    return QStringLiteral("the written file reads otherwise");
  if (sync::formatSyncState(sync::parseSyncState(written)) != written) {
    return QStringLiteral("a second write differs from the first");
  }
  return {};
}

}  // namespace tavelin::fuzz
