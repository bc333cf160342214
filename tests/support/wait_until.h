// Polls a condition another thread or process makes true.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace qv::test {

// Whether `condition` held within `timeout_ms`, asked every `poll_ms`.
inline bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = 5000, int poll_ms = 5) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
  }
  return true;
}

}  // namespace qv::test
