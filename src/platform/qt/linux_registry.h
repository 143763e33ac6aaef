#pragma once

#include "platform/registry.h"

namespace tavelin::platform {

class Launcher;

// Linux has no registry. This one knows the single key the About box asks for, the path of the
// system-information program, and answers it with the first such program found on PATH.
class LinuxRegistry final : public Registry {
 public:
  explicit LinuxRegistry(const Launcher& launcher) : launcher_(launcher) {}

  std::optional<RegistryKey> openKey(quint32 root, const QString& keyName, quint32 access) override;
  std::optional<RegistryValue> queryValue(RegistryKey key, const QString& valueName,
                                          qsizetype capacity) override;
  void closeKey(RegistryKey) override {}

 private:
  const Launcher& launcher_;
};

}  // namespace tavelin::platform
