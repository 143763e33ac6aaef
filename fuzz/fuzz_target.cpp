// One libFuzzer target: FUZZ_CHECK names the check it runs on every input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "checks/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString fault = tavelin::fuzz::FUZZ_CHECK(bytes);
  if (!fault.isEmpty()) {
    std::fprintf(stderr, "fault: %s\n", fault.toLocal8Bit().constData());
    std::abort();
  }
  return 0;
}
