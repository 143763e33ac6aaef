#pragma once

#include <QMap>
#include <vector>

#include "platform/registry.h"

namespace tavelin::platform {

// A registry set up by the test: keys and values by name (case ignored, as on the system),
// with a record of every key opened and closed.
class FakeRegistry final : public Registry {
 public:
  std::optional<RegistryKey> openKey(quint32 root, const QString& keyName, quint32 access) override;
  std::optional<RegistryValue> queryValue(RegistryKey key, const QString& valueName,
                                          qsizetype capacity) override;
  void closeKey(RegistryKey key) override;

  void setValue(quint32 root, const QString& keyName, const QString& valueName,
                RegistryValue value);
  // An existing key without the value.
  void addKey(quint32 root, const QString& keyName);

  std::vector<quint32> accessMasks;  // of every open asked for
  // Keys opened and not yet closed.
  int openCount() const { return static_cast<int>(open_.size()); }

 private:
  static QString path(quint32 root, const QString& keyName);
  QMap<QString, QMap<QString, RegistryValue>> keys_;  // path -> lower-case value name -> value
  QMap<RegistryKey, QString> open_;
  RegistryKey next_ = 100;
};

}  // namespace tavelin::platform
