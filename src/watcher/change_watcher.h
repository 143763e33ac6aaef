#pragma once

namespace tavelin {
class LiveOptions;
class RecordStore;
class RecordView;
}  // namespace tavelin
namespace tavelin::platform {
class Platform;
}

namespace tavelin::watcher {

// The change watcher: another copy of the program, or anything else, has rewritten the data
// file since this copy's last load. Nothing locks the file against reading; the modification
// time is all there is. The window's Timer2 calls Timer2_Timer every five seconds.
class ChangeWatcher {
 public:
  ChangeWatcher(platform::Platform& platform, RecordStore& store, const LiveOptions& options,
                RecordView& view);

  void Timer2_Timer();

 private:
  platform::Platform& platform_;
  RecordStore& store_;
  const LiveOptions& options_;
  RecordView& view_;
  bool changeReportOpen_ = false;  // the watcher's message is on screen
};

}  // namespace tavelin::watcher
