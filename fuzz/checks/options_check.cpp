// The options file: any bytes read, and what is read is what a write of it reads back as.
#include "fuzz_checks.h"
#include "record_store/options_file.h"

namespace tavelin::fuzz {

QString checkOptionsFile(QByteArrayView bytes) {
  const OptionValues read = parseOptions(bytes);
  for (const int flag : read.flags) {
    if (flag != 0 && flag != 1) return QStringLiteral("a flag that is neither 0 nor 1");
  }
  if (read.dialMode == DialMode::Unset) return QStringLiteral("no dial mode");
  if (read.port.contains(QLatin1Char('\r')) || read.port.contains(QLatin1Char('\n'))) {
    return QStringLiteral("a line end in the port");
  }
  const QByteArray written = formatOptions(read);
  if (!(parseOptions(written) == read)) return QStringLiteral("the written file reads otherwise");
  if (formatOptions(parseOptions(written)) != written) {
    return QStringLiteral("a second write differs from the first");
  }
  return {};
}

}  // namespace tavelin::fuzz
