// tavelin-bench MODE [FILE]: times one operation inside the process and prints, as its last
// line, the mode and the milliseconds it took. Without FILE a 15000-record file is generated.
//   generate OUT [N]   write a sample data file
//   load [FILE]        one SortFile
//   save [FILE]        load, then one add-record save: SaveAll with the new line, SortFile
//   startup [FILE]     build the main window offscreen and run the start-up until it is shown
//   tick [FILE]        the median of many refresher ticks in browse mode, window offscreen
//   search FILE TEXT   one new search for TEXT, the input box answered by the fake dialogs
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "main_window/mainform.h"
#include "options/frm_options.h"
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
  std::fprintf(stderr,
               "usage: tavelin-bench generate OUT [N] | load|save|startup|tick [FILE] | "
               "search FILE TEXT\n");
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

  const bool windowed = mode == QLatin1String("startup") || mode == QLatin1String("tick") ||
                        mode == QLatin1String("search");
  if (!windowed) return usage();
  if (mode == QLatin1String("search") && argc < 4) return usage();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Sandbox box(file);
  platform::FakePlatform platform(box.config.path());

  if (mode == QLatin1String("startup")) {
    double ms = timeMs([&] {
      main_window::Mainform window(platform);
      window.Form_Load();
    });
    report("startup", ms);
    return 0;
  }

  main_window::Mainform window(platform);
  window.Form_Load();
  window.Timer1->stop();  // ticks are run by hand, one at a time
  if (mode == QLatin1String("tick")) {
    // Everything a tick can show switched on: time, date, search string, tool tips, pointers.
    options::FrmOptions& o = window.frmOptions();
    for (QCheckBox* b : {o.Check1, o.Check4, o.Check5, o.chkTool, o.chkFancy}) b->setChecked(true);
    window.SearchString = QStringLiteral("Tavelin");
    std::vector<double> ticks(2001);
    for (double& t : ticks) t = timeMs([&] { window.Timer1_Timer(); });
    std::nth_element(ticks.begin(), ticks.begin() + ticks.size() / 2, ticks.end());
    std::printf("tick %.4f\n", ticks[ticks.size() / 2]);
    return 0;
  }
  platform.fakeDialogs.inputAnswers.push_back(QString::fromLocal8Bit(argv[3]));
  report("search", timeMs([&] { window.NewSearch(); }));
  return 0;
}
