#pragma once

#include <QString>

namespace tavelin {

// The option values as they stand at this moment (the options window holds them for the run,
// and "Cancel" keeps a change for this run only): read at every use, never copied.
class LiveOptions {
 public:
  virtual ~LiveOptions() = default;

  virtual bool timeOnTitleBar() const = 0;
  virtual bool dateOnTitleBar() const = 0;
  virtual bool searchStringOnTitleBar() const = 0;
  virtual bool clearSearchStringIfSearchFails() const = 0;
  virtual bool autoBackupOnStart() const = 0;
  virtual bool tooltipsEnabled() const = 0;
  virtual bool fancyPointersEnabled() const = 0;
  virtual bool multiUserMode() const = 0;
  // The speaker volume as the list shows it, and whether tone dialing is chosen.
  virtual QString speakerVolume() const = 0;
  virtual bool toneDialing() const = 0;
};

}  // namespace tavelin
