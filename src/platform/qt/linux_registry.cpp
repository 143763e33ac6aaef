#include "platform/qt/linux_registry.h"

#include <QStringList>

#include "platform/launcher.h"

namespace tavelin::platform {
namespace {

constexpr RegistryKey kSystemInfoKey = 1;

// Key and value names compare without regard to case, as on the system they come from.
bool sameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

std::optional<RegistryKey> LinuxRegistry::openKey(quint32 root, const QString& keyName, quint32) {
  if (root != kHKeyLocalMachine ||
      !sameName(keyName, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO")))
    return std::nullopt;
  return kSystemInfoKey;
}

std::optional<RegistryValue> LinuxRegistry::queryValue(RegistryKey key, const QString& valueName,
                                                       qsizetype capacity) {
  if (key != kSystemInfoKey || !sameName(valueName, QStringLiteral("PATH"))) return std::nullopt;
  static const QStringList programs = {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                       QStringLiteral("gnome-system-monitor"),
                                       QStringLiteral("plasma-systemmonitor"),
                                       QStringLiteral("xfce4-taskmanager")};
  for (const QString& name : programs) {
    const QString path = launcher_.findProgram(name);
    if (path.isEmpty()) continue;
    RegistryValue value{kRegString, path.toLocal8Bit() + '\0'};
    if (value.bytes.size() > capacity) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

}  // namespace tavelin::platform
