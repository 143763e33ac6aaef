#include "platform/platform.h"

#include "platform/settings_store.h"

namespace tavelin::platform {

QString Platform::serialDevice(int portNumber) {
  const QString configured =
      settings().value(QStringLiteral("Platform"), QStringLiteral("Com%1").arg(portNumber));
  if (!configured.isEmpty()) return configured;
  return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

}  // namespace tavelin::platform
