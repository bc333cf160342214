// Support for tests that run real dialogs on the win32 host.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "ui/dialog.h"
#include "hosts/win32/dialog_host.h"
#include "hosts/win32/ui_driver.h"
#include "support/scripted_dialog.h"
#include "support/user_threads.h"
#include "support/wait_until.h"

namespace qv::wintest {

// One host for the whole test binary, as a program has.
inline ui::Win32Host& Host() {
  static ui::Win32Host host;
  return host;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetHost(&Host());
    ui::SetStringTable(&test::FrameworkStrings());
  }
  void TearDown() override {
    EXPECT_TRUE(ui::driver::ProcessDialogs().empty()) << "a dialog outlived its test";
    ui::SetHost(nullptr);
    ui::SetStringTable(nullptr);
  }
};

using test::ScriptedDialog;

using qv::test::WaitUntil;

// The user's thread and the watchdog, with this host's dialogs.
class Driver : public test::UserThread {
 public:
  explicit Driver(std::function<void()> script)
      : UserThread(
            std::move(script), [] { return WaitUntil([] { return ui::driver::ProcessDialogs().empty(); }); },
            [] { ui::driver::CloseAll(); }) {}
};
class Watchdog : public test::Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit) : test::Watchdog(limit, [] { ui::driver::CloseAll(); }) {}
};

// The dialog or message box captioned `caption`.
inline ui::WindowId WaitForCaption(const std::string& caption) {
  return ui::driver::WaitForDialog([&](ui::WindowId w) { return ui::driver::TextOf(w) == caption; }, 5000);
}

// The message text of a message box (its static has id 0xFFFF).
inline std::string BoxText(ui::WindowId box) { return ui::driver::ControlText(box, 0xFFFF); }

}  // namespace qv::wintest
