#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "record_store/change_set.h"
#include "sync/carddav_client.h"
#include "sync/sync_runner.h"
#include "sync/sync_state.h"

namespace tavelin::sync {

// What a sync found on both sides, before anything is done.
struct PlanInput {
  QStringList lines;                // the data file's records, as the store builds them
  SyncState state;                  // as the last sync left it
  std::vector<ChangeSet> journal;   // the saves since then, in order
  std::vector<FetchedCard> cards;   // added or changed on the server since then
  QSet<QString> removed;            // hrefs gone from the server since then
  std::function<QString()> newUid;  // a fresh UID for a new card
  std::function<QString(const QString& uid)> hrefFor;  // where a new card goes
};

// What to do: the local side as one change set, and the state after it, in which every
// contact the server still has to hear about is pending (an upload, or a removal).
struct Plan {
  ChangeSet local;
  SyncState state;
  SyncSummary summary;  // the local side and the conflicts; the server's side is counted as done
  QSet<QString> conflictCopies;  // the hrefs of our versions of conflicts, counted as conflicts
};

Plan makePlan(const PlanInput& input);

// The line a contact stands for now, when the contact kept its line: the journal's chain of
// replacements from the line of the last sync. Empty when a save removed it.
QString journalledLine(const QString& line, const std::vector<ChangeSet>& journal, bool* removed);

}  // namespace tavelin::sync
