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
    kUnavailable,     // no lock could be made (nothing proves another instance)
  };

  // Windows: a named mutex created owned. Elsewhere: an advisory lock on
  // "<name>.lock" in $XDG_RUNTIME_DIR, else in a folder of this user's own
  // under the temporary folder.
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State state() const { return state_; }

 private:
  std::intptr_t handle_ = -1;
  State state_ = State::kUnavailable;
};

}  // namespace qv::platform
