// tavelin-bench MODE [FILE]: times one operation inside the process and prints, as its last
// line, the mode and the milliseconds it took. Without FILE a 15000-record file is generated.
//   generate OUT [N]   write a sample data file
//   generate-vcard OUT [N]
//                      the same records as vCard 3.0 cards
//   import CARDS       the cards into an empty address book: the import and its one durable
//                      save, then the load that shows the list again
//   export [FILE]      load, then every record to a vCard 3.0 file through the atomic writer
//   load [FILE]        one SortFile
//   save [FILE]        load, then one add-record save: SaveAll with the new line, SortFile
//   import-lines FILE  into an empty book, every line of FILE as one change set of added
//                      lines: the lines read and decoded, one Apply, one SortFile
//   startup [FILE]     build the main window offscreen and run the start-up until it is shown
//   tick [FILE]        the median of many refresher ticks in browse mode, window offscreen
//   search FILE TEXT   one new search for TEXT, the input box answered by the fake dialogs
//   add|edit|delete|backup|restore [FILE]
//                      one user action at the started window, on a copy of FILE, from the
//                      button until the record is shown again; every question answered Yes
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <cstdio>
#include <cstdlib>

#include "bench_support.h"
#include "exchange/contact_files.h"
#include "exchange/vcard_writer.h"
#include "record_store/file_contents.h"
#include "record_store/paths.h"
#include "record_store/record_store.h"
#include "sample_data.h"

using namespace tavelin;
using bench::report;
using bench::timeMs;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: tavelin-bench generate|generate-vcard OUT [N] | "
               "load|save|startup|tick|export [FILE] | import CARDS | import-lines FILE | "
               "search FILE TEXT | add|edit|delete|backup|restore [FILE]\n");
  return 2;
}

// The window modes live in a module beside this program, so that the record-store modes run
// as a process that loads nothing but Qt Core.
int runWindowMode(int argc, char** argv, const QString& file) {
  const QString dir = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath();
  QLibrary library(dir + QStringLiteral("/tavelin-bench-window"));
  using WindowMain = int (*)(int, char**, const char*);
  const auto run = reinterpret_cast<WindowMain>(library.resolve("tavelin_bench_window"));
  if (!run) {
    std::fprintf(stderr, "%s\n", qPrintable(library.errorString()));
    return 1;
  }
  const int status = run(argc, argv, file.toLocal8Bit().constData());
  return status == 2 ? usage() : status;
}

}  // namespace

int main(int argc, char** argv) {
  const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  const QString file =
      argc > 2 ? QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath() : QString();

  if (mode == QLatin1String("generate")) {
    if (file.isEmpty()) return usage();
    const int n = argc > 3 ? std::atoi(argv[3]) : bench::kDefaultRecords;
    return bench::writeBytes(file, bench::sampleDataFile(n)) ? 0 : 1;
  }

  if (mode == QLatin1String("generate-vcard")) {
    if (file.isEmpty()) return usage();
    const int n = argc > 3 ? std::atoi(argv[3]) : bench::kDefaultRecords;
    const QByteArray records = bench::sampleDataFile(n);
    FileContents contents;
    loadContents(records, contents);
    QByteArray cards;
    exchange::VCardWriter writer(exchange::VCardVersion::V30);
    for (int row = 0; row < contents.table.rowCount(); ++row) {
      exchange::FieldViews fields;
      for (int k = 0; k < kFieldCount; ++k) fields[k] = contents.table.value(row, k);
      writer.write(cards, fields);
    }
    return bench::writeBytes(file, cards) ? 0 : 1;
  }

  if (mode == QLatin1String("import")) {
    if (file.isEmpty()) return usage();
    bench::Sandbox box(file, bench::Sandbox::DataFile::None);
    RecordStore store(workFilePath(box.configPath()));
    store.SortFile();
    report("import", timeMs([&] {
             const exchange::ImportResult result = exchange::importContacts(store, file);
             if (result.failure) std::fprintf(stderr, "%s\n", qPrintable(result.failure->reason));
             store.SortFile();
           }));
    return 0;
  }

  if (mode == QLatin1String("export")) {
    bench::Sandbox box(file, bench::Sandbox::DataFile::Link);
    RecordStore store(workFilePath(box.configPath()));
    store.SortFile();
    report("export", timeMs([&] {
             const exchange::ExportResult result = exchange::exportContacts(
                 store, QStringLiteral("out.vcf"), exchange::ExportFormat::VCard30);
             if (result.failure) std::fprintf(stderr, "%s\n", qPrintable(result.failure->reason));
           }));
    return 0;
  }

  if (mode == QLatin1String("load") || mode == QLatin1String("save")) {
    const bool load = mode == QLatin1String("load");
    bench::Sandbox box(file,
                       load ? bench::Sandbox::DataFile::Link : bench::Sandbox::DataFile::Copy);
    RecordStore store(workFilePath(box.configPath()));
    if (load) {
      report("load", timeMs([&] { store.SortFile(); }));
      return 0;
    }
    store.SortFile();
    const QString line = BuildLineFromFields(
        {QStringLiteral("Zeno Newcomer"), {}, {}, {}, QStringLiteral("555 0199")});
    report("save", timeMs([&] {
             store.SaveAll(line);
             store.SortFile();
           }));
    return 0;
  }

  if (mode == QLatin1String("import-lines")) {
    QFile input(file);
    if (file.isEmpty() || !input.open(QIODevice::ReadOnly)) return usage();
    bench::Sandbox box({}, bench::Sandbox::DataFile::None);
    RecordStore store(workFilePath(box.configPath()));
    store.SortFile();
    report("import-lines", timeMs([&] {
             const QByteArray bytes = input.readAll();
             ChangeSet changes;
             changes.added.reserve(bytes.count('\n') + 1);
             for (QByteArrayView rest(bytes); !rest.isEmpty();) {
               const qsizetype end = rest.indexOf('\n');
               QByteArrayView line = end < 0 ? rest : rest.first(end);
               rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
               if (line.endsWith('\r')) line.chop(1);
               if (!line.isEmpty()) changes.added << QString::fromUtf8(line);
             }
             if (!store.Apply(changes)) std::exit(1);
             store.SortFile();
           }));
    return 0;
  }

  if (mode == QLatin1String("startup") || mode == QLatin1String("tick") ||
      mode == QLatin1String("search") || mode == QLatin1String("add") ||
      mode == QLatin1String("edit") || mode == QLatin1String("delete") ||
      mode == QLatin1String("backup") || mode == QLatin1String("restore")) {
    return runWindowMode(argc, argv, file);
  }
  return usage();
}
