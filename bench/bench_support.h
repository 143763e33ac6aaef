#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <optional>

namespace tavelin::bench {

constexpr int kDefaultRecords = 15000;

bool writeBytes(const QString& path, const QByteArray& bytes);

// The working directory holding the data file, and the config folder; the working directory
// is changed to it. The data file is generated when source is empty, else a second name for
// source (saves put a new file under that name; source stays as it was) or, for the modes
// that only read it, a symbolic link to it; with None there is no data file (an empty book).
// Neither is what is measured.
// Both folders are fresh ones, removed afterwards, unless TAVELIN_BENCH_FOLDERS names a folder
// that keeps them from one run to the next, as a user's folders are kept between starts.
struct Sandbox {
  enum class DataFile { Copy, Link, None };
  explicit Sandbox(const QString& source, DataFile how = DataFile::Copy);
  QString configPath() const { return config_; }

 private:
  std::optional<QTemporaryDir> freshWork_, freshConfig_;
  QString work_, config_;
};

double timeMs(const std::function<void()>& run);
// The line every mode ends with: the mode and its milliseconds.
void report(const char* mode, double ms);

}  // namespace tavelin::bench
