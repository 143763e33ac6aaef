#pragma once

#include <QByteArrayList>
#include <QDir>
#include <QSet>
#include <QStringList>
#include <vector>

#include "record_store/record_store.h"
#include "support/test_env.h"

namespace tavelin::test {

// A record as the program writes it: fourteen quoted fields, the name first and, when given,
// one more value in field k.
inline QByteArray record(const QByteArray& name, int k = 0, const QByteArray& value = {}) {
  QByteArrayList fields(kFieldCount);
  fields[0] = name;
  if (k > 0) fields[k] = value;
  return '"' + fields.join("\",\"") + '"';
}

// The bytes of a file of these lines, each ended by CR LF.
inline QByteArray fileOf(const QByteArrayList& lines) {
  QByteArray out;
  for (const QByteArray& l : lines) out += l + "\r\n";
  return out;
}

inline QStringList namesOf(const RecordStore& store) {
  QStringList names;
  for (int r = 0; r < store.rowCount(); ++r) names << store.table().value(r, 0).toString();
  return names;
}

inline int rowOf(const RecordStore& store, const QString& name) {
  return int(namesOf(store).indexOf(name));
}

// A store as the program makes it, on a private working directory and config folder.
struct StoreFixture {
  TestEnvironment env;
  RecordStore store{workFilePath(env.configRoot())};
  StoreFixture() { QDir().mkpath(fixedFolder(env.configRoot())); }

  QStringList names() const { return namesOf(store); }
  // Loads and saves every row; the file as it is afterwards.
  QByteArray loadAndSave() {
    store.SortFile();
    if (const SaveResult saved = store.SaveAll(); !saved) {
      return "error: " + saved.error().reason.toUtf8();
    }
    return readFile(kDataFileName);
  }
};

// What a racing copy does in one round: the record it replaces (edit, delete) and the one it
// adds; either may be empty.
struct RaceStep {
  QString replaced;
  QString added;
};

inline QString raceName(const QString& prefix, int round) {
  return prefix + QLatin1Char('-') + QString::number(round);
}

inline std::vector<RaceStep> raceSteps(const QString& prefix, int round) {
  std::vector<RaceStep> steps(1);
  steps[0].added = raceName(prefix, round);
  // The record of the round before: deleted when odd, edited when even, never both.
  const int before = round - 1;
  const bool deletes = round % 5 == 4 && before % 2 == 1;
  const bool edits = round % 7 == 3 && before % 2 == 0;
  if (deletes || edits) {
    RaceStep& step = steps.emplace_back();
    step.replaced = raceName(prefix, before);
    if (edits) step.added = step.replaced + QStringLiteral(" edited");
  }
  return steps;
}

// The names a copy leaves after its rounds.
inline QSet<QString> raceResult(const QString& prefix, int rounds) {
  QSet<QString> names;
  for (int i = 0; i < rounds; ++i) {
    for (const RaceStep& step : raceSteps(prefix, i)) {
      names.remove(step.replaced);
      if (!step.added.isEmpty()) names.insert(step.added);
    }
  }
  return names;
}

}  // namespace tavelin::test
