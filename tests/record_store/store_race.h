#pragma once

#include <QSet>
#include <QString>
#include <vector>

namespace tavelin::test {

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

inline QString raceLine(const QString& name) {
  QString line = QLatin1Char('"') + name + QLatin1Char('"');
  for (int k = 1; k < 14; ++k) line += QStringLiteral(",\"\"");
  return line;
}

}  // namespace tavelin::test
