#pragma once

#include <functional>

namespace tavelin {

// A piece of a load that runs beside the caller, on another processor, and is joined at the
// latest when it goes out of scope. It starts on a processor other than the caller's: a new
// thread left to share the caller's can wait milliseconds before either is moved. Where no
// other processor is free, or no thread can be made, the work runs at once in the caller.
class SideThread {
 public:
  SideThread() = default;
  explicit SideThread(std::function<void()> work);
  SideThread(const SideThread&) = delete;
  SideThread& operator=(const SideThread&) = delete;
  SideThread(SideThread&& other) noexcept;
  SideThread& operator=(SideThread&& other) noexcept;
  ~SideThread() { join(); }

  void join();

 private:
  struct State;
  static void* run(void* state);
  State* state_ = nullptr;
};

}  // namespace tavelin
