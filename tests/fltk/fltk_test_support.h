// Support for tests that run real dialogs on the Linux GUI host: one host
// per test binary (made on the main thread, which is the UI thread), a
// driver thread that plays the user, and a watchdog so a stuck modal loop
// fails the test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/fltk/fltk_driver.h"
#include "platform/fltk/fltk_host.h"
#include "support/scripted_dialog.h"
#include "ui/dialog.h"

namespace qv::fltktest {

namespace drv = ui::fltk_driver;
using test::ScriptedDialog;

inline ui::fltk::FltkHost& Host() {
  static ui::fltk::FltkHost host;
  return host;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Host().has_display()) << "no X display: run under tools/with-xvfb";
    drv::Attach(&Host());
    ui::SetHost(&Host());
    ui::SetStringTable(&strings_);
  }
  void TearDown() override {
    EXPECT_TRUE(Host().stack().empty()) << "a dialog outlived its test";
    ui::SetHost(nullptr);
    ui::SetStringTable(nullptr);
  }
  const ui::StringTable strings_{{ui::kStringExpectInteger, "整数を入力してください。"},
                                 {ui::kStringExpectIntegerRange, "%1 から %2 までの整数を入力してください。"}};
};

// Plays the user on its own thread. When the script returns, every dialog
// must be gone within a few seconds; if not, that is a failure and the rest
// are closed so the modal run under test can return.
class Driver {
 public:
  explicit Driver(std::function<void()> script)
      : thread_([script = std::move(script)] {
          script();
          if (!drv::WaitUntil([] { return drv::Dialogs().empty(); })) {
            ADD_FAILURE() << "dialogs still up after the driver script ended";
            drv::CloseAll();
          }
        }) {}
  ~Driver() { thread_.join(); }

 private:
  std::thread thread_;
};

// Ends a test process that is stuck beyond hope; first tries to unwind by
// closing every dialog.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([this, limit] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (cv_.wait_for(lock, limit, [this] { return done_; })) return;
          ADD_FAILURE() << "watchdog: test still running after " << limit.count() << " s";
          std::thread([] { drv::CloseAll(); }).detach();
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

// A control's middle on the screen.
inline ui::Point Middle(const ui::Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace qv::fltktest
