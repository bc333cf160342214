// The shared dialog scenarios on the headless host, with a manual clock and
// the user on a thread of its own, as the Windows tests drive real dialogs.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "scenarios/scenario.h"
#include "support/scripted_host.h"

namespace qv::scenario {
namespace {

using HeadlessHost = qv::test::ScriptedHost;
using ui::HeadlessWindow;

class HeadlessUser final : public User {
 public:
  explicit HeadlessUser(HeadlessHost& host) : host_(host) {}

  WindowId WaitWindow(const std::string& caption) override {
    return Poll([&] {
      const HeadlessWindow* w = host_.FindByCaption(caption);
      return w && w->shown() ? w->Id() : 0;
    });
  }
  WindowId WaitBox(const std::string& text) override {
    return Poll([&]() -> WindowId {
      const HeadlessWindow* w = host_.Active();
      return w && w->is_message_box() && w->Text(0xFFFF) == text ? w->Id() : 0;
    });
  }
  bool WaitGone(WindowId window) override {
    return Poll([&]() -> WindowId { return host_.Find(window) ? 0 : 1; }) != 0;
  }
  void Pass(int ms) override {
    Do([&](HeadlessHost& h) { h.Advance(ms); });
  }

  bool Click(WindowId w, int control) override {
    return Act([=](HeadlessHost& h) { return h.Click(w, control); });
  }
  bool Type(WindowId w, int control, const std::string& text) override {
    return Act([=](HeadlessHost& h) { return h.Type(w, control, text); });
  }
  bool Choose(WindowId w, int control, int index) override {
    return Act([=](HeadlessHost& h) { return h.Choose(w, control, index); });
  }
  bool FocusOn(WindowId w, int control) override {
    return Act([=](HeadlessHost& h) { return h.FocusOn(w, control); });
  }
  bool Spin(WindowId w, int spin, int steps) override {
    return Act([=](HeadlessHost& h) { return h.Spin(w, spin, steps); });
  }
  bool SystemCommand(WindowId w, unsigned command) override {
    return Act([=](HeadlessHost& h) { return h.SystemCommand(w, command); });
  }
  bool PressEsc(WindowId w) override {
    return Act([=](HeadlessHost& h) { return h.PressEsc(w); });
  }
  bool PressEnter(WindowId w) override {
    return Act([=](HeadlessHost& h) { return h.PressEnter(w); });
  }
  bool PressMnemonic(WindowId w, char letter) override {
    return Act([=](HeadlessHost& h) { return h.PressMnemonic(w, letter); });
  }
  bool Close(WindowId w) override {
    return Act([=](HeadlessHost& h) { return h.Close(w); });
  }
  bool TimeChanged(WindowId w) override {
    return Act([=](HeadlessHost& h) {
      if (!h.Find(w)) return false;
      h.SimulateTimeChange();
      return true;
    });
  }
  bool Resumed(WindowId w) override { return TimeChanged(w); }

  std::string Caption(WindowId w) override {
    return Read<std::string>(w, [](const HeadlessWindow& win) { return win.Caption(); });
  }
  // An icon id the program's table lacks shows nothing.
  bool ShowsIcon(WindowId w, int control) override {
    return Read<bool>(w, [&](const HeadlessWindow& win) {
      const HeadlessWindow::Control* c = win.control(control);
      return ui::FindIcon(control == 0 ? win.icon() : c ? c->icon : 0) != nullptr;
    });
  }
  std::string Text(WindowId w, int control) override {
    return Read<std::string>(w, [&](const HeadlessWindow& win) { return win.Text(control); });
  }
  int Check(WindowId w, int control) override {
    return Read<int>(w, [&](const HeadlessWindow& win) { return win.Check(control); }, -1);
  }
  bool IsEnabled(WindowId w) override {
    return Read<bool>(w, [](const HeadlessWindow& win) { return win.enabled(); });
  }
  bool IsMinimized(WindowId w) override {
    return Read<bool>(w, [](const HeadlessWindow& win) { return win.IsMinimized(); });
  }
  WindowId Owner(WindowId w) override {
    return Read<WindowId>(w, [](const HeadlessWindow& win) { return win.owner(); });
  }
  int Focused(WindowId w) override {
    return Read<int>(w, [](const HeadlessWindow& win) { return win.focus(); }, -1);
  }

 private:
  void Do(const HeadlessHost::Step& step) { EXPECT_TRUE(host_.RunOnUiThread(step)) << "the dialogs' thread is stuck"; }
  // An action that opens a modal run is still running when the thread
  // settles in that run: it was taken, so it counts as done. Its outcome
  // lives apart from this frame, which may be gone before the action ends.
  bool Act(std::function<bool(HeadlessHost&)> action) {
    auto outcome = std::make_shared<std::atomic<int>>(-1);
    Do([outcome, action = std::move(action)](HeadlessHost& h) { *outcome = action(h) ? 1 : 0; });
    return *outcome != 0;
  }
  // What `read` finds in the window, `none` when it is gone.
  template <class T>
  T Read(WindowId w, const std::function<T(const HeadlessWindow&)>& read, T none = {}) {
    T value = none;
    Do([&](HeadlessHost& h) {
      if (const HeadlessWindow* win = h.Find(w)) value = read(*win);
    });
    return value;
  }
  // Asks on the dialogs' thread until `probe` finds something (5 s).
  WindowId Poll(const std::function<WindowId()>& probe) {
    for (int i = 0; i < 500; ++i) {
      WindowId found = 0;
      Do([&](HeadlessHost&) { found = probe(); });
      if (found) return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
  }

  HeadlessHost& host_;
};

class HeadlessStage final : public Stage {
 public:
  HeadlessStage() {
    host_.SetScreen(kScreen, {0, 0, kScreen.x, kScreen.y});
    host_.SetStallLimit(std::chrono::seconds(10));
    ui::SetHost(&host_);
    ui::SetStringTable(&test::FrameworkStrings());
  }
  ~HeadlessStage() override {
    ui::SetHost(nullptr);
    ui::SetStringTable(nullptr);
  }
  void Play(const std::function<void(User&)>& script, const std::function<void()>& dialogs) override {
    host_.SetBoxesWaitForUser(true);
    HeadlessUser user(host_);
    std::thread player([&] {
      script(user);
      host_.UserFinished();
    });
    dialogs();
    player.join();
    EXPECT_FALSE(host_.stalled()) << "a dialog was still up after the user had finished";
  }

 private:
  HeadlessHost host_;
};

class HeadlessScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(HeadlessScenario, Runs) {
  HeadlessStage stage;
  GetParam().run(stage);
}

INSTANTIATE_TEST_SUITE_P(Shared, HeadlessScenario, ::testing::ValuesIn(AllScenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::scenario
