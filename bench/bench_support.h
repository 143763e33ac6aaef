#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace tavelin::bench {

constexpr int kDefaultRecords = 15000;

bool writeBytes(const QString& path, const QByteArray& bytes);

// A fresh working directory holding the data file and a fresh config folder; the working
// directory is changed to it. The data file is generated when source is empty, else a second
// name for source (saves put a new file under that name; source stays as it was) or, for the
// modes that only read it, a symbolic link to it. Neither is what is measured.
struct Sandbox {
  enum class DataFile { Copy, Link };
  QTemporaryDir work, config;
  explicit Sandbox(const QString& source, DataFile how = DataFile::Copy);
};

double timeMs(const std::function<void()>& run);
// The line every mode ends with: the mode and its milliseconds.
void report(const char* mode, double ms);

}  // namespace tavelin::bench
