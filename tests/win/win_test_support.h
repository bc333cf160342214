// Support for tests that run real dialogs: a scriptable dialog, a driver
// thread that plays the user, and a watchdog so a stuck modal loop fails the
// test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/dialog.h"
#include "platform/win32/dialog_host.h"
#include "platform/win32/ui_driver.h"

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
    ui::SetStringTable(&strings_);
  }
  void TearDown() override {
    EXPECT_TRUE(ui::driver::ProcessDialogs().empty()) << "a dialog outlived its test";
    ui::SetHost(nullptr);
    ui::SetStringTable(nullptr);
  }
  // The framework's texts, as the programs' tables carry them.
  const ui::StringTable strings_{{ui::kStringExpectInteger, "整数を入力してください。"},
                                 {ui::kStringExpectIntegerRange, "%1 から %2 までの整数を入力してください。"}};
};

// A dialog whose handlers are lambdas; records every command it sees.
class ScriptedDialog : public ui::Dialog {
 public:
  using Dialog::Dialog;
  using Dialog::EndDialog;
  using Dialog::UpdateData;

  std::function<void(ScriptedDialog&)> on_init;
  std::function<void(ScriptedDialog&, bool)> on_show;
  std::function<bool(ScriptedDialog&, int)> on_command;  // true: handled
  std::function<void(ScriptedDialog&, std::uintptr_t)> on_timer;
  std::function<std::intptr_t(ScriptedDialog&, unsigned, std::uintptr_t, std::intptr_t)> on_message;
  std::function<void(ScriptedDialog&)> on_destroy;
  std::function<void(ui::DataExchange&)> exchange;

  std::vector<int> commands;  // UI thread only

 protected:
  bool OnInitDialog() override {
    const bool r = Dialog::OnInitDialog();
    if (on_init) on_init(*this);
    return r;
  }
  void OnShow(bool shown) override {
    if (on_show) on_show(*this, shown);
  }
  void OnCommand(int id) override {
    commands.push_back(id);
    if (on_command && on_command(*this, id)) return;
    Dialog::OnCommand(id);
  }
  void OnTimer(std::uintptr_t id) override {
    if (on_timer) on_timer(*this, id);
  }
  std::intptr_t OnMessage(unsigned msg, std::uintptr_t wp, std::intptr_t lp) override {
    return on_message ? on_message(*this, msg, wp, lp) : 0;
  }
  void OnDestroy() override {
    if (on_destroy) on_destroy(*this);
  }
  void DoDataExchange(ui::DataExchange& dx) override {
    if (exchange) exchange(dx);
  }
};

// Polls a condition set by another thread.
inline bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Plays the user on its own thread. When the script returns, every dialog
// must be gone within a few seconds; if not, that is a failure and the rest
// are closed so the modal run under test can return.
class Driver {
 public:
  explicit Driver(std::function<void()> script)
      : thread_([script = std::move(script)] {
          script();
          if (!WaitUntil([] { return ui::driver::ProcessDialogs().empty(); })) {
            ADD_FAILURE() << "dialogs still up after the driver script ended";
            ui::driver::CloseAll();
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
          ui::driver::CloseAll();
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

// The dialog or message box captioned `caption`.
inline ui::WindowId WaitForCaption(const std::string& caption) {
  return ui::driver::WaitForDialog([&](ui::WindowId w) { return ui::driver::TextOf(w) == caption; }, 5000);
}

// The message text of a message box (its static has id 0xFFFF).
inline std::string BoxText(ui::WindowId box) { return ui::driver::ControlText(box, 0xFFFF); }

}  // namespace qv::wintest
