// Support for tests that run real dialogs on the Linux GUI host: one host
// per test binary (made on the main thread, which is the UI thread), a
// driver thread that plays the user, and a watchdog so a stuck modal loop
// fails the test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "hosts/fltk/fltk_driver.h"
#include "hosts/fltk/fltk_host.h"
#include "support/scripted_dialog.h"
#include "support/user_threads.h"
#include "ui/dialog.h"

namespace qv::fltktest {

namespace drv = ui::fltk_driver;
using test::ScriptedDialog;

inline ui::fltk::FltkHost& Host() {
  static ui::fltk::FltkHost host("QuorvelTest");
  return host;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Host().has_display()) << "no X display: run under tools/with-xvfb";
    drv::Attach(&Host());
    ui::SetHost(&Host());
    ui::SetStringTable(&test::FrameworkStrings());
  }
  void TearDown() override {
    EXPECT_TRUE(Host().stack().empty()) << "a dialog outlived its test";
    ui::SetHost(nullptr);
    ui::SetStringTable(nullptr);
  }
};

// The user's thread and the watchdog, with this host's dialogs. The watchdog
// closes from a thread of its own: closing waits for the UI thread.
class Driver : public test::UserThread {
 public:
  explicit Driver(std::function<void()> script)
      : UserThread(
            std::move(script), [] { return drv::WaitUntil([] { return drv::Dialogs().empty(); }); },
            [] { drv::CloseAll(); }) {}
};
class Watchdog : public test::Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : test::Watchdog(limit, [] { std::thread([] { drv::CloseAll(); }).detach(); }) {}
};

}  // namespace qv::fltktest
