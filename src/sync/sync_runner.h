#pragma once

#include <QObject>
#include <QString>

#include "sync/carddav_client.h"

namespace tavelin::sync {

// What one sync did on each side.
struct SyncSummary {
  int addedHere = 0;
  int changedHere = 0;
  int removedHere = 0;
  int addedThere = 0;
  int changedThere = 0;
  int removedThere = 0;
  int conflicts = 0;  // contacts edited on both sides, now kept as two
  bool operator==(const SyncSummary&) const = default;
};

// "Synchronised: A added here, ...; G conflicts kept as two contacts."
QString summaryLine(const SyncSummary& summary);

struct SyncOutcome {
  bool succeeded = false;
  SyncSummary summary;  // what was done, also when the sync stopped part way
  DavResult failure;    // why it stopped (its outcome tells a wrong password from the rest)
  QString error;        // one line naming the server and the reason; empty when it succeeded
};

// One sync of the data file with its address book, as the window and the command line see it.
// Asynchronous: start() returns at once; progress comes while cards are fetched or sent, and
// finished comes once per start.
class SyncRunner : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  // Ignored while a sync runs.
  virtual void start() = 0;
  virtual bool isRunning() const = 0;

 Q_SIGNALS:
  void progress(int done, int total);
  void finished(const tavelin::sync::SyncOutcome& outcome);
};

}  // namespace tavelin::sync
