#include "record_store/side_thread.h"

#include <pthread.h>
#include <sched.h>

#include <memory>
#include <utility>

namespace tavelin {

struct SideThread::State {
  std::function<void()> work;
  pthread_t thread{};
  cpu_set_t allowed{};  // where the caller may run; the thread may too once it has started
};

void* SideThread::run(void* data) {
  auto* state = static_cast<State*>(data);
  // Started elsewhere; from here the system may move it like any other thread.
  pthread_setaffinity_np(pthread_self(), sizeof state->allowed, &state->allowed);
  state->work();
  return nullptr;
}

SideThread::SideThread(std::function<void()> work) {
  auto state = std::make_unique<State>(State{std::move(work)});
  pthread_attr_t attributes;
  bool started = false;
  if (pthread_attr_init(&attributes) == 0) {
    const int here = sched_getcpu();
    if (sched_getaffinity(0, sizeof state->allowed, &state->allowed) == 0 && here >= 0) {
      cpu_set_t elsewhere = state->allowed;
      CPU_CLR(here, &elsewhere);
      if (CPU_COUNT(&elsewhere) > 0) {
        pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere);
        started = pthread_create(&state->thread, &attributes, run, state.get()) == 0;
      }
    }
    pthread_attr_destroy(&attributes);
  }
  if (started) {
    state_ = state.release();
  } else {
    state->work();
  }
}

SideThread::SideThread(SideThread&& other) noexcept
    : state_(std::exchange(other.state_, nullptr)) {}

SideThread& SideThread::operator=(SideThread&& other) noexcept {
  if (this != &other) {
    join();
    state_ = std::exchange(other.state_, nullptr);
  }
  return *this;
}

void SideThread::join() {
  if (!state_) return;
  pthread_join(state_->thread, nullptr);
  delete std::exchange(state_, nullptr);
}

}  // namespace tavelin
