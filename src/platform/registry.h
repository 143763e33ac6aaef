#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace tavelin::platform {

// The root a key path starts from, as the system numbers it.
inline constexpr quint32 kHKeyLocalMachine = 0x80000002;

// Value types.
inline constexpr quint32 kRegString = 1;  // text, normally ended by a NUL
inline constexpr quint32 kRegDword = 4;   // a 32-bit number, lowest byte first

// An open key.
using RegistryKey = quint32;

struct RegistryValue {
  quint32 type = 0;
  QByteArray bytes;  // as stored: a string value carries its NUL when it was stored with one
};

// The system's registry of settings, read only: open a key, query a value, close the key.
class Registry {
 public:
  virtual ~Registry() = default;
  // Opens the key below root with the access mask; nothing when there is no such key.
  virtual std::optional<RegistryKey> openKey(quint32 root, const QString& keyName,
                                             quint32 access) = 0;
  // The value of an open key; nothing when there is none or it takes more than capacity bytes.
  virtual std::optional<RegistryValue> queryValue(RegistryKey key, const QString& valueName,
                                                  qsizetype capacity) = 0;
  virtual void closeKey(RegistryKey key) = 0;
};

}  // namespace tavelin::platform
