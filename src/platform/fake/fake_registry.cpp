#include "platform/fake/fake_registry.h"

namespace tavelin::platform {

QString FakeRegistry::path(quint32 root, const QString& keyName) {
  return QString::number(root, 16) + QLatin1Char('\\') + keyName.toLower();
}

std::optional<RegistryKey> FakeRegistry::openKey(quint32 root, const QString& keyName,
                                                 quint32 access) {
  accessMasks.push_back(access);
  const QString p = path(root, keyName);
  if (!keys_.contains(p)) return std::nullopt;
  open_.insert(next_, p);
  return next_++;
}

std::optional<RegistryValue> FakeRegistry::queryValue(RegistryKey key, const QString& valueName,
                                                      qsizetype capacity) {
  if (!open_.contains(key)) return std::nullopt;
  const auto values = keys_.value(open_.value(key));
  const auto found = values.find(valueName.toLower());
  if (found == values.end() || found->bytes.size() > capacity) return std::nullopt;
  return *found;
}

void FakeRegistry::closeKey(RegistryKey key) {
  open_.remove(key);
}

void FakeRegistry::setValue(quint32 root, const QString& keyName, const QString& valueName,
                            RegistryValue value) {
  keys_[path(root, keyName)].insert(valueName.toLower(), std::move(value));
}

void FakeRegistry::addKey(quint32 root, const QString& keyName) {
  keys_[path(root, keyName)];
}

}  // namespace tavelin::platform
