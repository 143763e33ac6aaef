#pragma once

#include <QString>

namespace tavelin::platform {

// The per-user settings of the program. Group "Properties" holds the three serial-port values
// and is never written; group "Platform" the Linux choices (FloppyPath, ComN, Editor, ...);
// group "CardDAV" the sync account, which the program writes.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The value as text; empty when missing. A value that holds commas comes back whole.
  virtual QString value(const QString& group, const QString& key) const = 0;
  // Sets a value, or removes the key for an empty value. False when the file could not be
  // written.
  virtual bool setValue(const QString& group, const QString& key, const QString& value) = 0;
};

}  // namespace tavelin::platform
