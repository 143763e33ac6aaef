#pragma once

namespace tavelin::backup {

// The hourglass pointer for the length of a disk operation. release() brings the normal
// pointer back early; it is restored once however the operation ends.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  void release();

 private:
  bool active_ = true;
};

}  // namespace tavelin::backup
