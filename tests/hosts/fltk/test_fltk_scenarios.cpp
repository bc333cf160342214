// The shared dialog scenarios on the Linux GUI host: real windows on an
// Xvfb of their own, the user on a thread of its own playing with real
// input (xdotool) where a user's hand would act, as the Windows driver does
// with real dialogs.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "fltk_test_support.h"
#include "hosts/fltk/fltk_controls.h"
#include "hosts/fltk/fltk_window.h"
#include "scenarios/scenario.h"

namespace qv::scenario {
namespace {

namespace drv = ui::fltk_driver;
using ui::fltk::FltkWindow;

// Scenarios this host cannot play as the win32 host did, and why.
const std::map<std::string, const char*> kSkipped = {
    {"Placement",
     "no window manager under Xvfb: windows have no frame or caption, so every window rectangle differs from "
     "Windows' by them"},
    {"WindowServices", "its window rectangles include Windows' frame and caption, which no window manager draws "
                       "here"},
};

class FltkUser final : public User {
 public:
  WindowId WaitWindow(const std::string& caption) override {
    return Ready(drv::WaitForShown([&](FltkWindow& w) { return w.Caption() == caption; }));
  }
  WindowId WaitBox(const std::string& text) override {
    return Ready(drv::WaitForShown([&](FltkWindow& w) { return w.Text(0xFFFF) == text; }));
  }
  bool WaitGone(WindowId w) override {
    if (!drv::WaitGone(w, 5000)) return false;
    drv::Settle();
    return true;
  }
  void Pass(int ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    drv::Settle();
  }

  bool Click(WindowId w, int control) override {
    return Reachable(w, control) && drv::Click(w, control) && drv::Settle();
  }
  bool Type(WindowId w, int control, const std::string& text) override {
    return Reachable(w, control) && Editable(w, control) && FocusOn(w, control) && drv::Paste(w, text) &&
           drv::Settle();
  }
  bool Choose(WindowId w, int control, int index) override {
    if (!Reachable(w, control)) return false;
    ui::Rect item, arrow;
    bool combo = false;
    int count = 0;
    drv::OnWindow(w, [&](FltkWindow& win) {
      ui::fltk::Control* c = win.FindControl(control);
      count = static_cast<int>(c->Items().size());
      const ui::Point o = win.ClientOrigin();
      if (auto* list = dynamic_cast<ui::fltk::ListControl*>(c)) {
        const ui::Rect r = list->ItemRect(index);
        if (r.Width() > 0) item = {o.x + r.left, o.y + r.top, o.x + r.right, o.y + r.bottom};
      } else if (dynamic_cast<ui::fltk::ComboControl*>(c)) {
        combo = true;
        arrow = win.ControlRect(control);
        arrow.left = arrow.right - 8;
      }
    });
    if (index < 0 || index >= count) return false;
    if (!combo) return item.Width() > 0 && drv::ClickAt(Mid(item).x, Mid(item).y) && drv::Settle();
    // The list drops from its arrow; the keyboard walks it and picks.
    if (!drv::ClickAt(Mid(arrow).x, Mid(arrow).y) || !drv::WaitUntil([&] { return Dropped(w, control); }, 3000))
      return false;
    std::string keys;
    for (int i = 0; i <= index; ++i) keys += "Down ";
    return drv::Keys(w, keys + "Return") && drv::WaitUntil([&] { return !Dropped(w, control); }, 3000) &&
           drv::Settle();
  }
  // Where the Windows driver sends WM_NEXTDLGCTL: the dialog manager's own
  // move of the focus on the user's behalf (a field's text all selected).
  bool FocusOn(WindowId w, int control) override {
    if (!Reachable(w, control)) return false;
    bool moved = false;
    drv::OnWindow(w, [&](FltkWindow& win) {
      ui::fltk::Control* c = win.FindControl(control);
      if (!c->Focusable() || !win.FocusControl(*c)) return;
      c->SelectAllText();
      moved = true;
    });
    return moved && drv::Settle();
  }
  // The arrow keys in the field the up-down belongs to.
  bool Spin(WindowId w, int spin, int steps) override {
    if (!Reachable(w, spin)) return false;
    const int buddy = Read<int>(w, [&](FltkWindow& win) {
      auto* s = dynamic_cast<ui::fltk::SpinControl*>(win.FindControl(spin));
      return s ? s->buddy() : 0;
    });
    if (!buddy || !FocusOn(w, buddy)) return false;
    std::string keys;
    for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) keys += steps < 0 ? "Down " : "Up ";
    return drv::Keys(w, keys) && drv::Settle();
  }
  bool SystemCommand(WindowId w, unsigned command) override {
    const bool has =
        Read<bool>(w, [&](FltkWindow& win) { return win.input_enabled() && win.HasSystemCommand(command); });
    if (!has || !ui::CurrentHost().Post(w, ui::kWmSysCommand, command, 0) || !drv::Settle()) return false;
    // A window manager iconifies and maps back in its own time: settled is
    // when it has, on the screen too (the window's own state changes at
    // once; a restore sent before the window manager has iconified would
    // be undone by it).
    if ((command == ui::kScMinimize || command == ui::kScRestore) && CanMinimize()) {
      const bool minimise = command == ui::kScMinimize;
      drv::WaitUntil([&] { return drv::IsMinimized(w) == minimise && drv::Mapped(w) != minimise; }, 5000);
    }
    return true;
  }
  bool PressEsc(WindowId w) override { return Press(w, "Escape"); }
  bool PressEnter(WindowId w) override { return Press(w, "Return"); }
  bool PressMnemonic(WindowId w, char letter) override { return Press(w, ("alt+" + std::string(1, letter)).c_str()); }
  bool Close(WindowId w) override { return ui::CurrentHost().Post(w, ui::kWmClose, 0, 0) && drv::Settle(); }
  bool TimeChanged(WindowId w) override {
    bool found = false;
    drv::OnWindow(w, [&](FltkWindow& win) {
      found = true;
      win.host().NotifyTimeChange();
    });
    return found && drv::Settle();
  }
  bool Resumed(WindowId w) override { return TimeChanged(w); }

  std::string Caption(WindowId w) override { return drv::Caption(w); }
  std::string Text(WindowId w, int control) override { return drv::ControlText(w, control); }
  // An icon id the program's table lacks shows nothing.
  bool ShowsIcon(WindowId w, int control) override {
    return ui::FindIcon(Read<int>(w, [&](FltkWindow& win) {
             const ui::fltk::Control* c = win.FindControl(control);
             return control == 0 ? win.icon() : c ? c->icon() : 0;
           })) != nullptr;
  }
  int Check(WindowId w, int control) override { return drv::Check(w, control); }
  bool IsEnabled(WindowId w) override {
    return Read<bool>(w, [](FltkWindow& win) { return win.input_enabled(); });
  }
  bool IsMinimized(WindowId w) override { return drv::IsMinimized(w); }
  bool CanMinimize() override { return fltktest::Host().WindowManagerRunning(); }
  WindowId Owner(WindowId w) override { return drv::OwnerOf(w); }
  int Focused(WindowId w) override { return drv::FocusedControl(w); }

 private:
  static ui::Point Mid(const ui::Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  // What `read` finds in the window, nothing when it is gone.
  template <class T>
  static T Read(WindowId w, const std::function<T(FltkWindow&)>& read) {
    T value{};
    drv::OnWindow(w, [&](FltkWindow& win) { value = read(win); });
    return value;
  }
  // Shown, and on the screen unless minimised: a user could meet it.
  WindowId Ready(WindowId w) {
    if (w) drv::WaitUntil([&] { return IsMinimized(w) || drv::Mapped(w); }, 3000);
    drv::Settle();
    return w;
  }
  // As a user could: the window takes input, the control shows and is enabled.
  bool Reachable(WindowId w, int control) {
    return Read<bool>(w, [&](FltkWindow& win) {
      const ui::fltk::Control* c = win.FindControl(control);
      return win.input_enabled() && c && c->Usable();
    });
  }
  bool Editable(WindowId w, int control) {
    return Read<bool>(w, [&](FltkWindow& win) {
      const ui::fltk::Control* c = win.FindControl(control);
      return c && (c->tmpl().cls == ui::ControlClass::Edit || ui::rules::HasEditField(c->tmpl()));
    });
  }
  bool Dropped(WindowId w, int control) {
    return Read<bool>(w, [&](FltkWindow& win) {
      auto* combo = dynamic_cast<ui::fltk::ComboControl*>(win.FindControl(control));
      return combo && combo->dropped();
    });
  }
  bool Press(WindowId w, const char* key) {
    if (!IsEnabled(w) || !drv::WaitUntil([&] { return drv::Mapped(w); }, 3000)) return false;
    return drv::Keys(w, key) && drv::Settle();
  }
};

class FltkStage final : public Stage {
 public:
  void Play(const std::function<void(User&)>& script, const std::function<void()>& dialogs) override {
    fltktest::Watchdog dog(std::chrono::seconds(90));
    fltktest::Driver player([&] {
      FltkUser user;
      script(user);
    });
    dialogs();
  }
};

class FltkScenario : public fltktest::HostTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(FltkScenario, Runs) {
  if (auto it = kSkipped.find(GetParam().name); it != kSkipped.end()) GTEST_SKIP() << it->second;
  ASSERT_EQ(fltktest::Host().ScreenSize(), kScreen) << "the scenarios' geometry assumes the test display";
  FltkStage stage;
  GetParam().run(stage);
}

INSTANTIATE_TEST_SUITE_P(Shared, FltkScenario, ::testing::ValuesIn(AllScenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::scenario
