// tavelin-bench MODE [FILE]: times one operation inside the process and prints, as its last
// line, the mode and the milliseconds it took. Without FILE a 15000-record file is generated.
//   generate OUT [N]   write a sample data file
//   load [FILE]        one SortFile
//   save [FILE]        load, then one add-record save: SaveAll with the new line, SortFile
//   startup [FILE]     build the main window offscreen and run the start-up until it is shown
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "main_window/mainform.h"
#include "platform/fake/fake_platform.h"
#include "record_store/paths.h"
#include "record_store/record_store.h"
#include "sample_data.h"

using namespace tavelin;

namespace {

constexpr int kDefaultRecords = 15000;

bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Puts the data file into a fresh working directory and config folder.
struct Sandbox {
  QTemporaryDir work, config;
  explicit Sandbox(const QString& source) {
    QByteArray bytes;
    if (source.isEmpty()) {
      bytes = bench::sampleDataFile(kDefaultRecords);
    } else {
      QFile f(source);
      if (f.open(QIODevice::ReadOnly)) bytes = f.readAll();
    }
    QDir().mkpath(fixedFolder(config.path()));
    QDir::setCurrent(work.path());
    if (!bytes.isEmpty()) writeBytes(kDataFileName, bytes);
  }
};

double timeMs(const std::function<void()>& run) {
  QElapsedTimer timer;
  timer.start();
  run();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void report(const char* mode, double ms) { std::printf("%s %.1f\n", mode, ms); }

int usage() {
  std::fprintf(stderr, "usage: tavelin-bench generate OUT [N] | load|save|startup [FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  const QString file =
      argc > 2 ? QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath() : QString();

  if (mode == QLatin1String("generate")) {
    if (file.isEmpty()) return usage();
    const int n = argc > 3 ? std::atoi(argv[3]) : kDefaultRecords;
    return writeBytes(file, bench::sampleDataFile(n)) ? 0 : 1;
  }

  if (mode == QLatin1String("load") || mode == QLatin1String("save")) {
    Sandbox box(file);
    RecordStore store(workFilePath(box.config.path()));
    if (mode == QLatin1String("load")) {
      report("load", timeMs([&] { store.SortFile(); }));
      return 0;
    }
    store.SortFile();
    const QString line = BuildLineFromFields({QStringLiteral("Zeno Newcomer"), {}, {}, {},
                                              QStringLiteral("555 0199")});
    report("save", timeMs([&] {
             store.SaveAll(line);
             store.SortFile();
           }));
    return 0;
  }

  if (mode == QLatin1String("startup")) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Sandbox box(file);
    platform::FakePlatform platform(box.config.path());
    double ms = timeMs([&] {
      main_window::Mainform window(platform);
      window.Form_Load();
    });
    report("startup", ms);
    return 0;
  }
  return usage();
}
