// The Linux GUI host on real windows: how each ending maps to the modal
// result, the template turned into controls, Japanese texts typed and read,
// timers, handlers' events (throws included), window geometry and state.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <thread>

#include "fltk_test_support.h"
#include "platform/fltk/fltk_window.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

using namespace wintest;

TEST_F(HostTest, ModalResultFollowsTheEnding) {
  struct Case {
    const char* name;
    std::function<void(ui::WindowId)> act;
    int result;
    int saves;  // OK reads the controls, every cancel path does not
  };
  const Case cases[] = {
      {"OK button", [](ui::WindowId w) { drv::Click(w, ui::kIdOk); }, 1, 1},
      {"Cancel button", [](ui::WindowId w) { drv::Click(w, ui::kIdCancel); }, 2, 0},
      {"Esc key", [](ui::WindowId w) { drv::Keys(w, "Escape"); }, 2, 0},
      {"Enter key: the default button", [](ui::WindowId w) { drv::Keys(w, "Return"); }, 1, 1},
      {"WM_CLOSE posted", [](ui::WindowId w) { Host().Post(w, ui::kWmClose, 0, 0); }, 2, 0},
      {"command 1 posted", [](ui::WindowId w) { Host().Post(w, ui::kWmCommand, ui::kIdOk, 0); }, 1, 1},
      {"close from the system menu",
       [](ui::WindowId w) { Host().Post(w, ui::kWmSysCommand, ui::kScClose, 0); }, 2, 0},
  };
  Watchdog dog(std::chrono::seconds(120));
  for (const Case& c : cases) {
    const ui::DialogTemplate tmpl = SmallTemplate(std::string("result ") + c.name);
    ScriptedDialog d(tmpl);
    int saves = 0;
    d.exchange = [&](ui::DataExchange& dx) { saves += dx.saving() ? 1 : 0; };
    Driver driver([&] {
      const ui::WindowId w = drv::WaitForCaption(tmpl.caption);
      ASSERT_NE(w, 0) << c.name;
      c.act(w);
    });
    EXPECT_EQ(d.DoModal(), c.result) << c.name;
    EXPECT_EQ(saves, c.saves) << c.name;
    EXPECT_EQ(d.Window(), nullptr) << "detached after the run";
  }
}

TEST_F(HostTest, TemplateBecomesControlsAndTextsRoundTrip) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  std::map<std::string, bool> seen;
  const std::vector<std::string> texts = {"日本語", "ｷｬﾝｾﾙ", "𠮷野家 (outside the BMP)", "", "a&b @c"};
  std::vector<std::string> read_back;
  std::string typed;
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    seen["hidden starts hidden"] = !w.IsVisible(kHidden) && w.IsVisible(kName);
    seen["disabled starts disabled"] = !w.IsEnabled(kGreyed) && w.IsEnabled(kAction);
    w.Show(kHidden, true);
    w.Enable(kGreyed, true);
    w.Show(kAction, false);
    seen["show and enable"] = w.IsVisible(kHidden) && !w.IsVisible(kAction) && w.IsEnabled(kGreyed);
    seen["missing control"] = w.Text(4242).empty() && !w.IsVisible(4242) && w.Selection(4242) == -1;
    seen["template texts"] = w.Text(kAgree) == "同意する" && w.Text(kLabel) == kLabelText;
    for (const auto& t : texts) {
      w.SetText(kName, t);
      read_back.push_back(w.Text(kName));
    }
    w.SetCaption("時刻合わせ");
    read_back.push_back(w.Caption());
  };
  d.on_command = [&](ScriptedDialog& self, int id) {
    if (id != kGreyed) return false;
    typed = self.Window()->Text(kName);
    return true;
  };
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("時刻合わせ");
    ASSERT_NE(w, 0);
    EXPECT_EQ(drv::FocusedControl(w), kName) << "the first control with a tab stop";
    EXPECT_FALSE(drv::Click(w, kAction)) << "a hidden control has no place to click";
    drv::Type(w, "大阪 ﾃｽﾄ");  // the focused field's text is selected: typing replaces it
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::ControlText(w, kName) == "大阪 ﾃｽﾄ"; }));
    drv::Click(w, kGreyed);
    drv::Click(w, ui::kIdCancel);
  });
  EXPECT_EQ(d.DoModal(), 2);
  for (const auto& [what, ok] : seen) EXPECT_TRUE(ok) << what;
  std::vector<std::string> want = texts;
  want.push_back("時刻合わせ");
  EXPECT_EQ(read_back, want);
  EXPECT_EQ(typed, "大阪 ﾃｽﾄ") << "typed by the user, read by the program";
}

TEST_F(HostTest, TimersTickByIdUntilKilled) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("timers");
  ScriptedDialog d(tmpl);
  std::map<std::uintptr_t, int> ticks;
  std::vector<std::uintptr_t> set;
  bool killed = false, killed_twice = true;
  int ticks7_at_end = -1;
  d.on_init = [&](ScriptedDialog& self) {
    for (auto [id, ms] : {std::pair<std::uintptr_t, unsigned>{7, 10}, {9, 40}, {0, 15}})
      set.push_back(self.Window()->SetTimer(id, ms));
  };
  d.on_timer = [&](ScriptedDialog& self, std::uintptr_t id) {
    ++ticks[id];
    if (id == 7 && ticks[7] == 5) {
      killed = self.Window()->KillTimer(7);
      killed_twice = self.Window()->KillTimer(7);
    }
    if (id == 9 && ticks[9] == 6) {
      ticks7_at_end = ticks[7];
      self.EndDialog(1);
      set.push_back(self.Window()->SetTimer(3, 10));
    }
  };
  EXPECT_EQ(d.DoModal(), 1);
  ASSERT_EQ(set.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_NE(set[i], 0u);
  EXPECT_EQ(set[3], 0u) << "an ended dialog starts no timer";
  EXPECT_TRUE(killed);
  EXPECT_FALSE(killed_twice) << "a killed timer cannot be killed again";
  EXPECT_EQ(ticks7_at_end, 5) << "no tick after KillTimer";
  EXPECT_GT(ticks[0], 0) << "timer id 0 is a timer like any other";
  EXPECT_EQ(ticks.count(3), 0u);
}

TEST_F(HostTest, HandlersSeeTheirEventsAndThrowsStayInside) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  std::vector<std::string> events;
  std::intptr_t sent = -1;
  d.on_init = [&](ScriptedDialog&) { events.push_back("init"); };
  d.on_destroy = [&](ScriptedDialog&) { events.push_back("destroy"); };
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    events.push_back(shown ? "show" : "hide");
    if (shown) sent = ui::CurrentHost().Send(self.Id(), ui::kWmUser + 7, 0, 0);
  };
  d.on_message = [&](ScriptedDialog&, unsigned msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    if (msg == ui::kWmUser + 7) throw 42;
    return 0;
  };
  d.on_command = [&](ScriptedDialog&, int id) -> bool {
    if (id != kAction) return false;
    throw std::runtime_error("handler failure");
  };
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    drv::Click(w, kAgree);
    drv::Click(w, kAction);
    drv::Click(w, kAction);
    drv::Click(w, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(d.commands, (std::vector<int>{kAgree, kAction, kAction, ui::kIdOk}));
  EXPECT_EQ(events, (std::vector<std::string>{"init", "show", "destroy"}));
}

// What the user changes is told; what the program changes is not.
TEST_F(HostTest, ChangeNotificationsComeFromTheUserOnly) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  std::vector<std::pair<int, ui::Notify>> heard;
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    for (const char* item : {"SNTP", "time", "daytime"}) w.AddItem(kCombo, item);
    w.SetText(kName, "program");
    w.Select(kCombo, 2);
    w.SetText(kOtherCombo, "program");
    w.SetCheck(kAgree, 1);
  };
  d.on_notify = [&](ScriptedDialog&, int id, ui::Notify code) { heard.emplace_back(id, code); };
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    drv::Click(w, kFirst);  // the name field (focused first) loses the focus
    drv::Type(w, "5");
    drv::Keys(w, "alt+Down");  // opens the list: there is none on this field
    drv::Click(w, kCombo);     // the combo's field
    drv::Keys(w, "Up");        // the item above, as a selection change
    drv::WaitUntil([&] { return drv::ControlText(w, kCombo) == "time"; });
    drv::Click(w, ui::kIdCancel);
  });
  EXPECT_EQ(d.DoModal(), 2);
  using N = ui::Notify;
  const std::vector<std::pair<int, N>> want = {
      {kName, N::kKillFocus}, {kFirst, N::kEditChange}, {kFirst, N::kKillFocus}, {kCombo, N::kSelChange},
      {kCombo, N::kKillFocus}};
  EXPECT_EQ(heard, want);
}

TEST_F(HostTest, GeometryPlacementAndMinimisingWithoutActivation) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("geometry");
  ScriptedDialog d(tmpl);
  ui::Rect at_init, moved, resized, placed;
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    at_init = w.WindowRect();
    w.MoveWindow(100, 50);
    moved = w.WindowRect();
    w.ResizeWindow(moved.Width(), moved.Height() - 10);
    resized = w.WindowRect();
  };
  // As the main program starts iconic: placed, then minimised unactivated.
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    ui::WindowPlacement p;
    p.normal = {300, 200, 300 + at_init.Width(), 200 + at_init.Height()};
    p.show_cmd = ui::kSwShowMinNoActive;
    self.Window()->SetPlacement(p);
    placed = self.Window()->Placement().normal;
  };
  ui::WindowPlacement seen;
  Driver driver([&] {
    ui::WindowId w = 0;
    ASSERT_TRUE(drv::WaitUntil([&] { return !drv::Dialogs().empty() && (w = drv::Dialogs().back()); }));
    std::string error;
    EXPECT_TRUE(Host().PlacementOf(w, seen, error));
    EXPECT_FALSE(drv::Mapped(w)) << "no window manager: minimised is off the screen";
    Host().Post(w, ui::kWmSysCommand, ui::kScRestore, 0);
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::Mapped(w) && !drv::IsMinimized(w); }));
    EXPECT_EQ(drv::WindowRect(w), placed) << "restored where it was placed";
    Host().Post(w, ui::kWmSysCommand, ui::kScMinimize, 0);
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::IsMinimized(w) && !drv::Mapped(w); }));
    Host().Post(w, ui::kWmClose, 0, 0);
  });
  EXPECT_EQ(d.DoModal(), 2);
  // Xvfb without a window manager: the whole screen is the work area and
  // windows have no frame.
  EXPECT_EQ(Host().WorkArea(), (ui::Rect{0, 0, 1280, 1024}));
  EXPECT_EQ(Host().ScreenSize(), (ui::Point{1280, 1024}));
  // The template's position, in dialog units from the screen's corner.
  EXPECT_EQ(at_init.left, ui::fltk::MulDivRound(tmpl.x, 7, 4));
  EXPECT_EQ(at_init.top, ui::fltk::MulDivRound(tmpl.y, 13, 8));
  EXPECT_EQ(moved, (ui::Rect{100, 50, 100 + at_init.Width(), 50 + at_init.Height()}));
  EXPECT_EQ(resized, (ui::Rect{100, 50, 100 + at_init.Width(), 40 + at_init.Height()}));
  EXPECT_EQ(placed, (ui::Rect{300, 200, 300 + at_init.Width(), 200 + at_init.Height()}));
  EXPECT_EQ(seen.show_cmd, ui::kSwShowMinimized);
  EXPECT_EQ(seen.normal, placed) << "the normal rectangle survives minimising";
}

TEST_F(HostTest, IconsPropertiesAndTheShiftKey) {
  Watchdog dog(std::chrono::seconds(30));
  ui::Icon icon;
  for (int size : {16, 32}) icon.images.push_back({size, std::vector<std::uint32_t>(size * size, 0xFF2060C0u)});
  const ui::IconTable icons{{100, icon}};
  ui::SetIconTable(&icons);
  const ui::DialogTemplate tmpl = SmallTemplate("icons");
  ScriptedDialog d(tmpl);
  std::vector<bool> shift;
  d.on_init = [&](ScriptedDialog& self) {
    self.Window()->SetIcon(100);
    self.Window()->SetButtonIcon(ui::kIdOk, 100);
    self.Window()->SetProperty("Quorvel", 1);
    self.Window()->SetProperty("gone", 5);
    self.Window()->RemoveProperty("gone");
  };
  d.on_message = [&](ScriptedDialog&, unsigned msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    if (msg == ui::kWmUser + 1) shift.push_back(ui::CurrentHost().IsKeyDown(ui::Key::kShift));
    return 0;
  };
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("icons");
    ASSERT_NE(w, 0);
    EXPECT_EQ(drv::XProperty(w, "Quorvel"), 1) << "other programs see the property";
    EXPECT_EQ(drv::XProperty(w, "gone"), 0);
    EXPECT_EQ(drv::IconSizes(w), (std::vector<int>{16, 32})) << "window and task-bar icons";
    const auto probe = [&] {
      const std::size_t before = shift.size();
      Host().Post(w, ui::kWmUser + 1, 0, 0);
      drv::WaitUntil([&] { return shift.size() > before; });
    };
    probe();
    drv::KeyDown("shift");
    probe();
    drv::KeyUp("shift");
    probe();
    Host().Post(w, ui::kWmClose, 0, 0);
  });
  EXPECT_EQ(d.DoModal(), 2);
  ui::SetIconTable(nullptr);
  EXPECT_EQ(shift, (std::vector<bool>{false, true, false}));
}

TEST_F(HostTest, TimeChangesReachEveryRunningWindow) {
  Watchdog dog(std::chrono::seconds(30));
  EXPECT_TRUE(Host().time_watch_armed()) << "the kernel will tell when the clock is set";
  const ui::DialogTemplate outer_t = SmallTemplate("outer");
  const ui::DialogTemplate inner_t = SmallTemplate("inner");
  ScriptedDialog outer(outer_t), inner(inner_t);
  std::vector<std::string> heard;
  outer.on_time_change = [&](ScriptedDialog&) { heard.push_back("outer"); };
  inner.on_time_change = [&](ScriptedDialog&) { heard.push_back("inner"); };
  outer.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    inner.DoModal();
    self.EndDialog(1);
  };
  inner.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    Host().NotifyTimeChange();
    self.EndDialog(1);
    Host().NotifyTimeChange();  // the ended one hears no more
  };
  EXPECT_EQ(outer.DoModal(), 1);
  EXPECT_EQ(heard, (std::vector<std::string>{"outer", "inner", "outer"}));
}

}  // namespace
}  // namespace qv::fltktest
