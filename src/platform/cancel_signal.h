// A one-shot signal that wakes a thread blocked in a socket wait. The query
// runner fires it to abandon a worker; the worker's waits return at once and
// it ends on its own, closing its own socket.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv::platform {

class CancelSignal {
 public:
  CancelSignal();
  ~CancelSignal();
  CancelSignal(const CancelSignal&) = delete;
  CancelSignal& operator=(const CancelSignal&) = delete;

  void Fire();  // any thread, any number of times
  bool Fired() const { return fired_.load(std::memory_order_acquire); }
  // What socket waits add to their wait set: the read end of a pipe (POSIX)
  // or a manual-reset event handle (Windows).
  std::intptr_t NativeHandle() const { return handle_; }

 private:
  std::atomic<bool> fired_{false};
  std::intptr_t handle_ = -1;
  std::intptr_t write_end_ = -1;
};

}  // namespace qv::platform
