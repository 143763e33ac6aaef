#pragma once

#include "platform/settings_store.h"

namespace tavelin::platform {

// <config>/Tavelin/Tavelin.ini, read afresh at every call so that a change made by another
// copy, or by hand, takes effect without a restart.
class QtSettingsStore final : public SettingsStore {
 public:
  QString value(const QString& group, const QString& key) const override;
  bool setValue(const QString& group, const QString& key, const QString& value) override;
};

}  // namespace tavelin::platform
