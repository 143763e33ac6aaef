#include "bench_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include <unistd.h>

#include "record_store/paths.h"
#include "sample_data.h"

namespace tavelin::bench {

bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

Sandbox::Sandbox(const QString& source, DataFile how) {
  const QString kept = qEnvironmentVariable("TAVELIN_BENCH_FOLDERS");
  if (kept.isEmpty()) {
    work_ = freshWork_.emplace().path();
    config_ = freshConfig_.emplace().path();
  } else {
    work_ = kept + QStringLiteral("/work");
    config_ = kept + QStringLiteral("/config");
    QDir().mkpath(work_);
  }
  QDir().mkpath(fixedFolder(config_));
  QDir::setCurrent(work_);
  QFile::remove(kDataFileName);
  if (how == DataFile::None) return;
  if (source.isEmpty()) {
    writeBytes(kDataFileName, sampleDataFile(kDefaultRecords));
  } else if (how == DataFile::Link) {
    QFile::link(source, kDataFileName);
  } else if (::link(QFile::encodeName(source).constData(),
                    QFile::encodeName(kDataFileName).constData()) != 0) {
    // A second name for the same file costs nothing, and the program's saves replace the
    // name they write rather than the file behind it; a copy where that cannot be made.
    QFile::copy(source, kDataFileName);
  }
}

double timeMs(const std::function<void()>& run) {
  QElapsedTimer timer;
  timer.start();
  run();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void report(const char* mode, double ms) {
  std::printf("%s %.1f\n", mode, ms);
  std::fflush(stdout);
}

}  // namespace tavelin::bench
