#pragma once

#include <QByteArrayList>
#include <QDir>
#include <QSet>
#include <QStringList>
#include <optional>
#include <vector>

#include "record_store/atomic_file.h"
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

// A record with a name and, when given, a first phone.
inline QByteArray lineOf(const QString& name, const QString& phone = {}) {
  return record(name.toUtf8(), 4, phone.toUtf8());
}

// A record written as "Name" or "Name: phone".
inline QByteArray recordLine(const QString& record) {
  const QStringList parts = record.split(u": "_qs);
  return lineOf(parts[0], parts.value(1));
}

inline QByteArray fileOfNames(const QStringList& records) {
  QByteArrayList lines;
  for (const QString& r : records) lines << recordLine(r);
  return fileOf(lines);
}

// The parts of a text joined by '|', as rows of data are written.
inline QStringList listOf(const char* joined) {
  return QString::fromUtf8(joined).split(u'|', Qt::SkipEmptyParts);
}

// Makes the data file of these records, by name; none: no file.
inline void writeRecords(const QStringList& names) {
  if (!names.isEmpty()) writeFile(kDataFileName, fileOfNames(names));
}

// The records of a store: each name, and ": phone" when it has one.
inline QStringList recordsOf(const RecordStore& store) {
  QStringList records;
  for (int r = 0; r < store.rowCount(); ++r) {
    const QString phone = store.table().value(r, 4).toString();
    records << store.table().value(r, 0) + (phone.isEmpty() ? QString() : u": "_qs + phone);
  }
  return records;
}

// The records a fresh load of the data file shows.
inline QStringList fileRecords(const TestEnvironment& env) {
  RecordStore fresh(env.configRoot() + u"/fresh.tmp"_qs);
  fresh.SortFile();
  return recordsOf(fresh);
}

// While it lives, fails one step of the data file's writes (each time, or only the first
// `times`) and counts the renames that went through.
class FailingStep final : public FileSystemFaults {
 public:
  explicit FailingStep(std::optional<WriteStep> step = {}, int times = -1)
      : step_(step), times_(times) {
    install(this);
  }
  ~FailingStep() override { install(nullptr); }
  std::optional<QString> fault(WriteStep step, const QString& path) override {
    if (!path.endsWith(kDataFileName)) return std::nullopt;
    if (step == step_ && times_ != 0) {
      --times_;
      return QStringLiteral("Input/output error");
    }
    renames += step == WriteStep::Rename;
    return std::nullopt;
  }
  int renames = 0;

 private:
  std::optional<WriteStep> step_;
  int times_;
};

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
