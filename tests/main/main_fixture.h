// The main program on the headless host with a manual clock: the whole
// start-up and dialog, a fake engine behind the engine adapter, a fake
// dial-up state and settings program, a real profile in a fresh folder, and
// a scripted user.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "main/main_dialog.h"
#include "main/startup.h"
#include "main/templates.h"
#include "platform/ctime.h"
#include "profile/profile.h"
#include "profile/temp_dir.h"
#include "support/fake_clock.h"
#include "support/scripted_host.h"

namespace qv::main::test {

using qv::test::FsPath;
using qv::test::Utf8;
using HeadlessHost = qv::test::ScriptedHost;

inline QueryOutcome Ok(std::string server_time, std::string pc_time = "Tue Jan 06 09:05:03 2026") {
  QueryOutcome o;
  o.result.status = "OK";
  o.result.server_time = std::move(server_time);
  o.result.pc_time = std::move(pc_time);
  return o;
}
// A failure as the engine reports it; the stage only has to be one.
inline QueryOutcome Failed(std::string status, std::string detail = "", std::string pc = "Tue Jan 06 09:05:03 2026") {
  QueryOutcome o;
  o.result.stage = engine::Stage::kConnect;
  o.result.status = std::move(status);
  o.result.detail = std::move(detail);
  o.result.pc_time = std::move(pc);
  return o;
}

struct EngineCall {
  bool adjust;
  engine::Request request;
  bool log;
  std::int64_t at_ms;
  engine::CycleRequest cycle;
  bool attended = false;  // an adjustment that may ask the user
};

// Outcomes come from the queue (a failure when it is empty); `during` runs
// inside each call, as the runner's modal loop would.
class FakeEngine final : public EngineCalls {
 public:
  FakeEngine(HeadlessHost& host, const std::int64_t& origin) : host_(host), origin_(origin) {}
  QueryOutcome Check(const engine::CycleRequest& c, bool log) override { return Call(false, c, {}, log); }
  QueryOutcome Adjust(const engine::CycleRequest& c, const engine::ConfirmStep& confirm, bool log) override {
    return Call(true, c, confirm, log);
  }

  std::vector<EngineCall> calls;
  std::deque<QueryOutcome> outcomes;
  std::function<void()> during;
  // Put to the adjustment's confirmation, when it has one; nullopt: asked
  // nothing. The answer is recorded.
  std::optional<std::int64_t> step_to_confirm;
  std::vector<bool> confirmed;
  int max_depth = 0;

 private:
  QueryOutcome Call(bool adjust, const engine::CycleRequest& c, const engine::ConfirmStep& confirm, bool log) {
    calls.push_back({adjust, c.request, log, host_.NowMs() - origin_, c, bool(confirm)});
    max_depth = std::max(max_depth, ++depth_);
    if (during) during();
    if (confirm && step_to_confirm) confirmed.push_back(confirm(*step_to_confirm));
    --depth_;
    if (outcomes.empty()) return Failed("ERROR (Connect)", "10061");
    QueryOutcome o = outcomes.front();
    outcomes.pop_front();
    return o;
  }
  HeadlessHost& host_;
  const std::int64_t& origin_;
  int depth_ = 0;
};

class FakeDialup final : public DialupProbe {
 public:
  platform::AutodialValue ReadAutodial() override { return ++reads, value; }
  std::uintptr_t FindActiveConnection() override { return ++finds, connection; }
  platform::AutodialValue value;  // missing: automatic dialling off
  std::uintptr_t connection = 0;
  int reads = 0, finds = 0;
};

class FakeSettings final : public SettingsProgram {
 public:
  bool Exists() override { return exists; }
  bool Start(const std::string& arguments, std::function<void()> end) override {
    started.push_back(arguments);
    on_end = std::move(end);
    return start_ok;
  }
  void Close(ui::WindowId window) override { closed.push_back(window); }
  bool exists = true, start_ok = true;
  std::vector<std::string> started;
  std::function<void()> on_end;
  std::vector<ui::WindowId> closed;
};

class MainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    ui::SetHost(&host_);
    host_.SetStallLimit(std::chrono::seconds(10));
    // Tue 2026-01-06 00:05:03 UTC; the OS zone's reading is set apart.
    clock_.SetUnixTime(1767657903);
    clock_.SetLocalReading({2026, 1, 2, 6, 9, 5, 3, 0});
    // Its own name per test: the instance lock of another test or build
    // never meets this one.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000000;
    exe_ = dir_.File("QvMain" + std::to_string(stamp) + "_" + std::to_string(counter++) + ".exe");
    host_.on_text = [this](ui::WindowId, int control, const std::string& text) {
      if (control == kIdRetryCount) retry_texts_.push_back(text);
      if (control == kIdNoticeSecond) notice_second_ = text;
      if (control == kIdNoticeFirst) notices_.push_back({text, notice_second_, host_.NowMs() - run_start_});
    };
  }
  void TearDown() override {
    EXPECT_FALSE(host_.stalled());
    for (const auto& box : host_.message_boxes())
      EXPECT_TRUE(box.flags & ui::kMbIconWarning) << box.text << ": every box has the warning icon";
    ui::SetHost(nullptr);
  }

  std::string ProfilePath() const { return exe_.substr(0, exe_.size() - 3) + "INI"; }
  void WriteProfile(const std::string& property_lines) {
    const bool server = property_lines.find("DefaultServer=") != std::string::npos;
    qv::test::WriteBytes(ProfilePath(), "[Property]\n" + std::string(server ? "" : "DefaultServer=ts.test\n") +
                                            property_lines);
  }
  std::string ProfileValue(const char* section, const char* key) const {
    return profile::ProfileFile(ProfilePath()).Load().ReadString(section, key);
  }

  int Run() {
    StartupOptions o;
    o.executable_path = exe_;
    o.argument_text = arguments_;
    o.engine = real_engine_ ? nullptr : &engine_;
    o.dialup = &dialup_;
    o.settings = &settings_;
    o.now_ms = [this] { return host_.NowMs(); };
    o.beep = [this](unsigned hz, unsigned ms) { beeps_.push_back(hz * 10000 + ms); };
    run_start_ = host_.NowMs();
    const int code = RunMainProgram(o);
    EXPECT_EQ(steps_run_, steps_queued_) << "the program ended before the script did";
    steps_run_ = steps_queued_ = 0;
    return code;
  }
  // Steps of the scripted user, each once the innermost loop is idle.
  void Then(std::function<void(HeadlessHost&)> step) {
    ++steps_queued_;
    host_.Then([this, step = std::move(step)](HeadlessHost& h) {
      ++steps_run_;
      step(h);
    });
  }
  void Advance(std::int64_t ms) {
    Then([ms](HeadlessHost& h) { h.Advance(ms); });
  }
  void Click(int control) {
    Then([control](HeadlessHost& h) { EXPECT_TRUE(h.Click(control)) << control; });
  }
  void Close() { Click(ui::kIdOk); }
  // A step that runs once `ready` holds (the runner's worker is on another
  // thread); later steps must be queued from `step` itself.
  void Await(std::function<bool(HeadlessHost&)> ready, std::function<void(HeadlessHost&)> step) {
    Then([this, ready, step](HeadlessHost& h) {
      if (ready(h)) return step(h);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      Await(ready, step);
    });
  }
  ui::HeadlessWindow& W() { return *host_.Active(); }
  // A message posted to the main window, as another program would.
  void PostToMain(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
    Then([=](HeadlessHost& h) { EXPECT_TRUE(h.Post(h.Active()->Id(), msg, wparam, lparam)); });
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& box : host_.message_boxes()) out.push_back(box.text);
    return out;
  }

  struct Notice {
    std::string first, second;
    std::int64_t at_ms;
    bool operator==(const Notice&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Notice& n) {
      return out << "{" << n.first << " | " << n.second << " @" << n.at_ms << "}";
    }
  };

  HeadlessHost host_;
  qv::test::FakeClock clock_;
  qv::test::TempDir dir_;
  int steps_queued_ = 0, steps_run_ = 0;
  std::int64_t run_start_ = 0;  // host time when the latest run started
  FakeEngine engine_{host_, run_start_};
  FakeDialup dialup_;
  FakeSettings settings_;
  std::string exe_, arguments_;
  bool real_engine_ = false;  // the engine behind the query runner
  std::vector<unsigned> beeps_;
  std::vector<std::string> retry_texts_;
  std::string notice_second_;
  std::vector<Notice> notices_;
};

}  // namespace qv::main::test
