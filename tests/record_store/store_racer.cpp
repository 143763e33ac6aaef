// One copy of the program's store in a loop of saves on a shared data file, for the test of
// copies that save at the same time: racer PREFIX COUNT WORKFILE, run in the shared folder.
// Each round loads, then adds "PREFIX-i"; some rounds also delete or edit the record of the
// round before (see store_files.h), each change after a load of its own.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "record_store/record_store.h"
#include "store_files.h"

using namespace tavelin;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 4) return 2;
  const QString prefix = args[1];
  const int count = args[2].toInt();
  RecordStore store(args[3]);

  for (int i = 0; i < count; ++i) {
    for (const test::RaceStep& step : test::raceSteps(prefix, i)) {
      store.SortFile();
      const int row = step.replaced.isEmpty() ? -1 : test::rowOf(store, step.replaced);
      if (!step.replaced.isEmpty() && row < 0) {
        std::fprintf(stderr, "%s: no record %s\n", qPrintable(prefix), qPrintable(step.replaced));
        return 3;
      }
      const QString line = step.added.isEmpty() ? QString() : test::record(step.added.toUtf8());
      const SaveResult saved = row >= 0 ? store.SaveRest(row, line) : store.SaveAll(line);
      if (!saved) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(prefix), qPrintable(saved.error().reason));
        return 4;
      }
    }
  }
  return 0;
}
