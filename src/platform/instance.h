// The single-instance lock: one running copy of a program per user session,
// named after the program's base name (a copy under another file name is
// another program). Held while the object lives; the process's end
// releases it in any case.
#pragma once

#include <cstdint>
#include <string>

namespace qv::platform {

class InstanceLock {
 public:
  enum class State {
    kHeld,            // this process is the one instance
    kAlreadyRunning,  // another process holds it
    kUnavailable,     // no lock could be made: nothing proves that no other instance runs
  };

  // Windows: a named mutex created owned. Elsewhere: an advisory lock on
  // "<name>.lock" in the folder of the window channel (ChannelFolder), which
  // no other user can make or enter.
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State state() const { return state_; }
  // kUnavailable: why, in words.
  const std::string& problem() const { return problem_; }

 private:
  std::intptr_t handle_ = -1;
  State state_ = State::kUnavailable;
  std::string problem_;
};

}  // namespace qv::platform
