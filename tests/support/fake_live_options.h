#pragma once

#include <QString>

#include "contracts/live_options.h"

namespace tavelin::test {

// Option values a test sets as it likes.
class FakeLiveOptions : public LiveOptions {
 public:
  bool timeOnTitleBar() const override { return time; }
  bool dateOnTitleBar() const override { return date; }
  bool searchStringOnTitleBar() const override { return searchString; }
  bool clearSearchStringIfSearchFails() const override { return clearFailedSearch; }
  bool autoBackupOnStart() const override { return autoBackup; }
  bool tooltipsEnabled() const override { return tooltips; }
  bool fancyPointersEnabled() const override { return fancyPointers; }
  bool multiUserMode() const override { return multiUser; }
  QString speakerVolume() const override { return volume; }
  bool toneDialing() const override { return tone; }

  bool time = false, date = false, searchString = false, clearFailedSearch = false;
  bool autoBackup = false, tooltips = false, fancyPointers = false, multiUser = false;
  QString volume = QStringLiteral("2");
  bool tone = true;
};

}  // namespace tavelin::test
