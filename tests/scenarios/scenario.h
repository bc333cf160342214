// Shared dialog scenarios: one source, run on the headless host (a user
// thread driving it through HeadlessHost::RunOnUiThread) and on the win32
// host under Wine (a user thread driving real windows through ui_driver).
// A scenario that passes headless and fails on Windows is a headless defect.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/scripted_dialog.h"
#include "support/wait_until.h"
#include "ui/dialog.h"

namespace qv::scenario {

using ui::WindowId;

// What the dialogs heard, in order. Written on the dialogs' thread, read by
// the user's. Timer ticks are counted, not listed: on Windows they come at
// the system's pace.
class Log {
 public:
  void Add(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  void Tick(std::uintptr_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++ticks_[id];
  }
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  int Ticks(std::uintptr_t id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = ticks_.find(id);
    return it == ticks_.end() ? 0 : it->second;
  }
  // Polls (real time) until `event` was logged.
  bool WaitFor(const std::string& event) const {
    return test::WaitUntil([&] {
      std::lock_guard<std::mutex> lock(mutex_);
      return std::find(events_.begin(), events_.end(), event) != events_.end();
    });
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::map<std::uintptr_t, int> ticks_;
};

// The user, as both hosts let a test play one. Every action returns once the
// dialogs' thread has taken it and settled (or waits in a modal run it
// opened). False when a real user could not do it (the window disabled, the
// control hidden or disabled, no such command).
class User {
 public:
  virtual ~User() = default;
  // The shown dialog or message box captioned `caption` (the innermost when
  // several are); waits up to 5 s; 0 when none came.
  virtual WindowId WaitWindow(const std::string& caption) = 0;
  // The message box showing `text`.
  virtual WindowId WaitBox(const std::string& text) = 0;
  virtual bool WaitGone(WindowId window) = 0;
  // Lets `ms` of time pass: the manual clock moves on the headless host,
  // real time on Windows.
  virtual void Pass(int ms) = 0;

  virtual bool Click(WindowId window, int control) = 0;
  virtual bool Type(WindowId window, int control, const std::string& text) = 0;
  virtual bool Choose(WindowId window, int control, int index) = 0;
  virtual bool FocusOn(WindowId window, int control) = 0;
  virtual bool Spin(WindowId window, int spin, int steps) = 0;
  virtual bool SystemCommand(WindowId window, unsigned command) = 0;
  virtual bool PressEsc(WindowId window) = 0;
  virtual bool PressEnter(WindowId window) = 0;
  // Alt and a letter (a mnemonic).
  virtual bool PressMnemonic(WindowId window, char letter) = 0;
  // The close box, or WM_CLOSE from another program.
  virtual bool Close(WindowId window) = 0;
  // The system clock was set, or the system woke from sleep: the window
  // hears of it.
  virtual bool TimeChanged(WindowId window) = 0;
  virtual bool Resumed(WindowId window) = 0;

  virtual std::string Caption(WindowId window) = 0;
  virtual std::string Text(WindowId window, int control) = 0;
  // The window (control 0) or a button shows an icon.
  virtual bool ShowsIcon(WindowId window, int control) = 0;
  virtual int Check(WindowId window, int control) = 0;
  virtual bool IsEnabled(WindowId window) = 0;
  virtual bool IsMinimized(WindowId window) = 0;
  // Whether windows minimise at all: the Linux host leaves them up where no
  // window manager could give them back.
  virtual bool CanMinimize() { return true; }
  virtual WindowId Owner(WindowId window) = 0;
  virtual int Focused(WindowId window) = 0;
};

// What a scenario runs on: a host installed as the current one, and a user.
class Stage {
 public:
  virtual ~Stage() = default;
  // Runs `dialogs` on this thread (the dialogs' thread) while `script` plays
  // the user on another; returns when both are done. Fails the test when a
  // dialog is still up after the script ended.
  virtual void Play(const std::function<void(User&)>& script, const std::function<void()>& dialogs) = 0;
};

struct Scenario {
  const char* name;
  void (*run)(Stage& stage);
};

// Every shared scenario (dialog_scenarios.cpp).
const std::vector<Scenario>& AllScenarios();

// The screen both stages give their dialogs: the display the Windows tests
// run on (tools/wine-env.sh), no task bar.
inline constexpr ui::Point kScreen{1280, 1024};

}  // namespace qv::scenario
