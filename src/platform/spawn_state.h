// What a started process's waiter thread and its ChildProcess share (kept
// alive by both: the waiter may outlive the object).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace qv::platform {

struct ChildState {
  std::uint32_t pid = 0;
  std::mutex mutex;
  std::condition_variable ended_cv;
  bool ended = false;
  int exit_code = 0;
  std::function<void(int)> on_exit;
  // Called once by the waiter thread when the process has ended.
  void Finish(int code);
};

}  // namespace qv::platform
