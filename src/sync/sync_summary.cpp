#include "sync/sync_runner.h"

namespace tavelin::sync {

QString summaryLine(const SyncSummary& s) {
  return QStringLiteral(
             "Synchronised: %1 added here, %2 changed here, %3 removed here; %4 added there, "
             "%5 changed there, %6 removed there; %7 conflicts kept as two contacts.")
      .arg(s.addedHere)
      .arg(s.changedHere)
      .arg(s.removedHere)
      .arg(s.addedThere)
      .arg(s.changedThere)
      .arg(s.removedThere)
      .arg(s.conflicts);
}

}  // namespace tavelin::sync
