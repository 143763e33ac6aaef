// Saves the data file of the working directory over and over until killed, as the program
// does on add and delete: looper WORKFILE LINE. Each round loads, then deletes the record of
// LINE when there is one and adds it when not, so the file is always one of two contents.
// Writes "saving" as each save begins and "saved" when it has ended, so that the test knows
// where a kill fell.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "record_store/record_store.h"

using namespace tavelin;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 3) return 2;
  const QString line = args[2];
  RecordStore store(args[1]);
  store.SortFile();
  const auto say = [](const char* what) {
    std::fputs(what, stdout);
    std::fflush(stdout);
  };
  for (;;) {
    int row = 0;
    while (row < store.rowCount() && store.BuildRecordLine(row) != line) ++row;
    say("saving\n");
    const SaveResult saved = row < store.rowCount() ? store.SaveRest(row) : store.SaveAll(line);
    say("saved\n");
    if (!saved) {
      std::fprintf(stderr, "%s\n", qPrintable(saved.error().reason));
      return 4;
    }
    store.SortFile();
  }
}
