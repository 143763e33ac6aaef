// The modes that need the main window, loaded by tavelin-bench only when one of them runs, so
// that the record-store modes start as a process that needs nothing but Qt Core.
#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "action_modes.h"
#include "bench_support.h"
#include "main_window/mainform.h"
#include "options/frm_options.h"
#include "platform/fake/fake_platform.h"

using namespace tavelin;
using bench::report;
using bench::timeMs;

extern "C" Q_DECL_EXPORT int tavelin_bench_window(int argc, char** argv, const char* fileArg) {
  const QString mode = QString::fromLocal8Bit(argv[1]);
  const QString file = QString::fromLocal8Bit(fileArg);
  if (mode == QLatin1String("search") && argc < 4) return 2;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The actions write a copy of the data file; the other modes only read it.
  const bool writes = bench::isActionMode(mode);
  bench::Sandbox box(file,
                     writes ? bench::Sandbox::DataFile::Copy : bench::Sandbox::DataFile::Link);
  platform::FakePlatform platform(box.configPath());
  if (mode == QLatin1String("startup")) {
    std::unique_ptr<main_window::Mainform> window;
    report("startup", timeMs([&] {
             window = std::make_unique<main_window::Mainform>(platform);
             window->Form_Load();
           }));
    return 0;
  }

  main_window::Mainform window(platform);
  window.Form_Load();
  window.Timer1->stop();  // ticks are run by hand, one at a time
  if (writes) return bench::runActionMode(mode, window, platform);
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
