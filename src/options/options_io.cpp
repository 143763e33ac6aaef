#include "options/options_io.h"

#include <QFile>
#include <QFileInfo>

#include "options/frm_options.h"
#include "record_store/options_file.h"

namespace tavelin::options {

namespace {

qint64 optionsFileLength(const QString& path) {
  QFile file(path);
  // Opening for appending creates a missing file and leaves an existing one as it is.
  if (file.open(QIODevice::Append)) return file.size();
  // A file we may read but not write is still read.
  const QFileInfo info(path);
  return info.isFile() ? info.size() : 0;
}

}  // namespace

void ReadOptions(FrmOptions& form, const QString& optionsPath) {
  if (optionsFileLength(optionsPath) < kMinimumOptionsFileSize) {
    WriteDefaultOptions(form, optionsPath);
    return;
  }
  // A file that cannot be read now reads as one without lines.
  QFile file(optionsPath);
  const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  OptionValues read = parseOptions(bytes);
  // A flag line that does not read as 1 leaves its check box as it was.
  const OptionValues current = form.values();
  for (std::size_t i = 0; i < read.flags.size(); ++i)
    if (current.flags[i] == 1) read.flags[i] = 1;
  form.apply(read);
}

bool WriteDefaultOptions(FrmOptions& form, const QString& optionsPath) {
  if (writeFileAtomically(optionsPath, defaultOptionsFile())) return false;
  form.apply(defaultOptions());
  return true;
}

std::optional<WriteError> WriteOptions(const FrmOptions& form, const QString& optionsPath) {
  return writeFileAtomically(optionsPath, formatOptions(form.values()));
}

}  // namespace tavelin::options
