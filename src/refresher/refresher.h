#pragma once

#include <QString>

namespace tavelin {
class LiveOptions;
class RecordView;
class WindowControls;
}  // namespace tavelin
namespace tavelin::platform {
class Clock;
}

namespace tavelin::refresher {

// The window state refresher: on every tick of the window's Timer1 (half a second) the label
// pointers and tool tips, the title bar, the caption of the Quit/Clear button and the enabled
// menu items follow the mode, the fields, the search string and the options; in browse mode the
// selected record is shown again. Nothing else enables or disables those menu items, so this
// is the whole menu policy. It keeps no state: every tick reads everything afresh.
class Refresher {
 public:
  // syncStatus, when given, is shown after the title while it is not empty.
  Refresher(const platform::Clock& clock, const LiveOptions& options, RecordView& view,
            WindowControls& controls, const QString& searchString,
            const QString* syncStatus = nullptr);

  void Timer1_Timer();

 private:
  void setPointers(bool browsing, bool typing);
  void setToolTips();
  void setTitle();

  const platform::Clock& clock_;
  const LiveOptions& options_;
  RecordView& view_;
  WindowControls& controls_;
  const QString& searchString_;  // the window's
  const QString* syncStatus_;    // the window's, or none
};

}  // namespace tavelin::refresher
