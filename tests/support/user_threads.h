// The threads of a test that runs real dialogs: one plays the user, one ends
// a test whose modal loop is stuck. Each host's support names how its dialogs
// are counted and closed.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace qv::test {

// Plays the user on its own thread. When the script returns, every dialog
// must be gone soon (`all_gone` waits for it); if not, that is a failure and
// the rest are closed so the modal run under test can return.
class UserThread {
 public:
  UserThread(std::function<void()> script, std::function<bool()> all_gone, std::function<void()> close_all)
      : thread_([script = std::move(script), all_gone = std::move(all_gone), close_all = std::move(close_all)] {
          script();
          if (!all_gone()) {
            ADD_FAILURE() << "dialogs still up after the driver script ended";
            close_all();
          }
        }) {}
  ~UserThread() { thread_.join(); }

 private:
  std::thread thread_;
};

// Ends a test process that is stuck beyond hope; first tries to unwind by
// closing every dialog.
class Watchdog {
 public:
  Watchdog(std::chrono::seconds limit, std::function<void()> close_all)
      : thread_([this, limit, close_all = std::move(close_all)] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (cv_.wait_for(lock, limit, [this] { return done_; })) return;
          ADD_FAILURE() << "watchdog: test still running after " << limit.count() << " s";
          close_all();
          if (cv_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) return;
          std::fprintf(stderr, "watchdog: modal loop did not unwind; ending the process\n");
          std::fflush(stderr);
          std::_Exit(3);
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace qv::test
