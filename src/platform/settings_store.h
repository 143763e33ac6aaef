#pragma once

#include <QString>

namespace tavelin::platform {

// The per-user settings of the program, read only. Group "Properties" holds the three
// serial-port values; group "Platform" the Linux choices (FloppyPath, ComN, Editor, ...).
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The value as text; empty when missing. A value that holds commas comes back whole.
  virtual QString value(const QString& group, const QString& key) const = 0;
};

}  // namespace tavelin::platform
