#include "platform/instance.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace qv::platform {

InstanceLock::InstanceLock(const std::string& name) {
  // Not inheritable: a started settings program must not keep it alive.
  HANDLE h = CreateMutexW(nullptr, TRUE, Widen(name).c_str());
  const DWORD error = GetLastError();
  if (!h) {
    // The name taken by another kind of object, or not ours to open.
    problem_ = "the mutex " + name + " cannot be made (error " + std::to_string(error) + ")";
    return;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    state_ = State::kAlreadyRunning;
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  state_ = State::kHeld;
}

InstanceLock::~InstanceLock() {
  if (state_ != State::kHeld) return;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  ReleaseMutex(h);
  CloseHandle(h);
}

}  // namespace qv::platform
