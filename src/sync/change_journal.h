#pragma once

#include <QString>
#include <vector>

#include "record_store/change_set.h"

namespace tavelin::sync {

// Beside a synced data file, the edits and deletions saved since the last sync, so that the
// sync knows which card a changed line belongs to, a rename included, without guessing.
QString changeJournalPath(const QString& dataFile);

// Told of every save of one copy's store. It notes only for a data file that has a sync
// state (a book never synced needs no journal), and only the replaced and removed lines:
// an added line belongs to no card yet. A note that cannot be written is left out; the sync
// then falls back to matching the line by its fields.
class ChangeJournal : public ChangeListener {
 public:
  explicit ChangeJournal(QString dataFile) : dataFile_(std::move(dataFile)) {}
  void changesApplied(const ChangeSet& applied) override;

 private:
  QString dataFile_;
};

// The notes in the order they were saved, each a set of replaced and removed lines. A torn or
// damaged note is left out; a journal past its size limit reads as none (matching by fields
// takes over). Read and cleared by the sync while it holds the data file's lock.
std::vector<ChangeSet> readChangeJournal(const QString& path);
bool clearChangeJournal(const QString& path);
// Takes out the first count notes (those a sync has read), keeping any saved since.
bool dropChangeJournalNotes(const QString& path, size_t count);

}  // namespace tavelin::sync
