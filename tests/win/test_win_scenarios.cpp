// The shared dialog scenarios on real dialogs: the user plays from a thread
// of its own through the UI driver, as on the headless host.
#include <gtest/gtest.h>

#include <thread>

#include "scenarios/scenario.h"
#include "win_test_support.h"

namespace qv::scenario {
namespace {

namespace drv = ui::driver;

class WindowsUser final : public User {
 public:
  WindowId WaitWindow(const std::string& caption) override {
    return Ready(drv::WaitForDialog([&](WindowId w) { return drv::TextOf(w) == caption; }, 5000));
  }
  WindowId WaitBox(const std::string& text) override {
    return Ready(drv::WaitForDialog([&](WindowId w) { return wintest::BoxText(w) == text; }, 5000));
  }
  // Gone, and what its end set off (its opener going on, taking the
  // activation back) has run.
  bool WaitGone(WindowId w) override {
    const WindowId owner = drv::OwnerOf(w);
    if (!drv::WaitGone(w, 5000)) return false;
    if (owner) Ready(owner);
    Settle();
    return true;
  }
  void Pass(int ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    Settle();
  }

  bool Click(WindowId w, int control) override {
    return Reachable(w, control) && drv::ClickButton(w, control) && Settled(w);
  }
  bool Type(WindowId w, int control, const std::string& text) override {
    return Reachable(w, control) && drv::FocusControl(w, control) && drv::TypeText(w, control, text) && Settled(w);
  }
  bool Choose(WindowId w, int control, int index) override {
    return Reachable(w, control) && drv::ChooseItem(w, control, index) && Settled(w);
  }
  bool FocusOn(WindowId w, int control) override {
    return Reachable(w, control) && drv::FocusControl(w, control) && Settled(w);
  }
  bool Spin(WindowId w, int spin, int steps) override {
    return Reachable(w, spin) && drv::SpinArrow(w, spin, steps) && Settled(w);
  }
  bool SystemCommand(WindowId w, unsigned command) override {
    return drv::IsEnabled(w) && drv::SystemCommand(w, command) && Settled(w);
  }
  bool PressEsc(WindowId w) override { return drv::IsEnabled(w) && drv::PressKey(w, 0x1B) && Settled(w); }
  // The dialog manager sends Enter to the control that has the focus.
  bool PressEnter(WindowId w) override { return drv::IsEnabled(w) && drv::PressKey(w, 0x0D) && Settled(w); }
  bool PressMnemonic(WindowId w, char letter) override {
    return drv::IsEnabled(w) && drv::PressMnemonic(w, letter) && Settled(w);
  }
  bool Close(WindowId w) override { return drv::PostClose(w) && Settled(w); }
  bool TimeChanged(WindowId w) override { return drv::SendTimeChange(w) && Settled(w); }
  bool Resumed(WindowId w) override { return drv::SendResume(w) && Settled(w); }

  std::string Caption(WindowId w) override { return drv::TextOf(w); }
  std::string Text(WindowId w, int control) override { return drv::ReadText(w, control); }
  bool ShowsIcon(WindowId w, int control) override { return drv::ShowsIcon(w, control); }
  int Check(WindowId w, int control) override { return drv::CheckState(w, control); }
  bool IsEnabled(WindowId w) override { return drv::IsEnabled(w); }
  bool IsMinimized(WindowId w) override { return drv::IsMinimized(w); }
  WindowId Owner(WindowId w) override { return drv::OwnerOf(w); }
  int Focused(WindowId w) override { return drv::FocusedControl(w); }

 private:
  // A window that takes input is ready once it is active: under X the
  // activation comes a moment later and puts the focus back where the
  // dialog last had it, which would move the focus under the user's hands.
  WindowId Ready(WindowId w) {
    if (w && drv::IsEnabled(w)) wintest::WaitUntil([&] { return drv::IsActive(w); }, 2000);
    if (w) Settled(w);
    return w;
  }
  // As a user could: the window takes input, the control shows and is enabled.
  static bool Reachable(WindowId w, int control) {
    const WindowId c = drv::ControlOf(w, control);
    return drv::IsEnabled(w) && c && drv::IsVisible(c) && drv::IsEnabled(c);
  }
  // The window may be gone already (the action closed it): then the thread
  // settles elsewhere or has nothing left to run.
  bool Settled(WindowId w) {
    if (drv::Exists(w)) owner_thread_window_ = w;
    Settle();
    return true;
  }
  void Settle() {
    if (owner_thread_window_ && drv::Exists(owner_thread_window_)) {
      drv::Settle(owner_thread_window_);
      return;
    }
    for (WindowId w : drv::ProcessDialogs()) {
      drv::Settle(w);
      return;
    }
  }
  WindowId owner_thread_window_ = 0;
};

class WindowsStage final : public Stage {
 public:
  WindowsStage() {
    ui::SetHost(&wintest::Host());
    ui::SetStringTable(&test::FrameworkStrings());
  }
  ~WindowsStage() override {
    ui::SetHost(nullptr);
    ui::SetStringTable(nullptr);
  }
  void Play(const std::function<void(User&)>& script, const std::function<void()>& dialogs) override {
    WindowsUser user;
    wintest::Watchdog dog(std::chrono::seconds(60));
    wintest::Driver player([&] { script(user); });
    dialogs();
  }
};

class WindowsScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(WindowsScenario, Runs) {
  const ui::Point screen = wintest::Host().ScreenSize();
  ASSERT_EQ(screen, kScreen) << "the scenarios' geometry assumes the test display";
  WindowsStage stage;
  GetParam().run(stage);
}

INSTANTIATE_TEST_SUITE_P(Shared, WindowsScenario, ::testing::ValuesIn(AllScenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::scenario
