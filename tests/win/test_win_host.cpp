// The win32 host on real dialogs: how each ending maps to the modal result,
// the template turned into controls, fonts, Japanese texts, timers, and
// handlers' events, throws included.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

#include "test_templates.h"
#include "win_test_support.h"

namespace qv::wintest {
namespace {

namespace drv = ui::driver;
constexpr unsigned kVkEscape = 0x1B;

TEST_F(HostTest, ModalResultFollowsTheEnding) {
  struct Case {
    const char* name;
    std::function<void(ui::WindowId)> act;
    int result;
    int saves;  // OK reads the controls, every cancel path does not
  };
  const Case cases[] = {
      {"OK button", [](ui::WindowId w) { drv::ClickButton(w, ui::kIdOk); }, 1, 1},
      {"Cancel button", [](ui::WindowId w) { drv::ClickButton(w, ui::kIdCancel); }, 2, 0},
      {"Esc key", [](ui::WindowId w) { drv::PressKey(w, kVkEscape); }, 2, 0},
      {"WM_CLOSE", [](ui::WindowId w) { drv::PostClose(w); }, 2, 0},
      {"command 1", [](ui::WindowId w) { drv::PostCommand(w, ui::kIdOk); }, 1, 1},
  };
  Watchdog dog(std::chrono::seconds(60));
  for (const Case& c : cases) {
    const ui::DialogTemplate tmpl = SmallTemplate(std::string("result ") + c.name);
    ScriptedDialog d(tmpl);
    int saves = 0;
    d.exchange = [&](ui::DataExchange& dx) { saves += dx.saving() ? 1 : 0; };
    Driver driver([&] {
      const ui::WindowId w = WaitForCaption(tmpl.caption);
      ASSERT_NE(w, 0) << c.name;
      c.act(w);
    });
    EXPECT_EQ(d.DoModal(), c.result) << c.name;
    EXPECT_EQ(saves, c.saves) << c.name;
    EXPECT_EQ(d.Window(), nullptr) << "detached after the run";
  }
}

// In the template's font, or a Japanese face where the system lacks it.
TEST_F(HostTest, TemplateBecomesRealControls) {
  Watchdog dog(std::chrono::seconds(60));
  const std::string fallback = ui::Win32Host::ResolveFontFace("No Such Face QV");
  EXPECT_TRUE(fallback == "MS UI Gothic" || fallback == "MS Shell Dlg") << fallback;
  EXPECT_EQ(ui::Win32Host::ResolveFontFace(""), fallback);
  for (const std::string face : {"ＭＳ Ｐゴシック", "No Such Face QV"}) {
    SCOPED_TRACE(face);
    const ui::DialogTemplate tmpl = FormTemplate(face);
    ScriptedDialog d(tmpl);
    std::map<std::string, bool> seen;
    d.on_init = [&](ScriptedDialog& self) {
      ui::HostWindow& w = *self.Window();
      seen["caption"] = w.Caption() == kFormCaption;
      seen["hidden starts hidden"] = !w.IsVisible(kHidden) && w.IsVisible(kName);
      seen["disabled starts disabled"] = !w.IsEnabled(kGreyed) && w.IsEnabled(kAction);
      w.Show(kHidden, true);
      w.Enable(kGreyed, true);
      w.Show(kAction, false);
      seen["show and enable"] = w.IsVisible(kHidden) && !w.IsVisible(kAction) && w.IsEnabled(kGreyed);
      seen["missing control"] = w.Text(4242).empty() && !w.IsVisible(4242) && w.Selection(4242) == -1;
    };
    Driver driver([&] {
      const ui::WindowId w = WaitForCaption(kFormCaption);
      ASSERT_NE(w, 0);
      const std::map<int, std::string> classes = {{kName, "Edit"},      {kAgree, "Button"}, {kLabel, "Static"},
                                                  {kCombo, "ComboBox"}, {kList, "ListBox"},
                                                  {kSpin, "msctls_updown32"}};
      for (const auto& [id, cls] : classes) EXPECT_EQ(drv::ClassOf(drv::ControlOf(w, id)), cls) << id;
      // Dialog units as the font lays them out: position and size each
      // converted on their own, as the dialog manager does. Combo boxes are
      // left out (their template height is the drop-down's), and so is a
      // list box's height (it shrinks to whole items) and an up-down
      // control's size (it picks its own).
      for (const ui::ControlTemplate& c : tmpl.controls) {
        if (c.cls == ui::ControlClass::ComboBox || c.id == ui::kIdStatic) continue;
        const drv::PixelRect origin = drv::DialogUnitsToPixels(w, c.x, c.y, 0, 0);
        const drv::PixelRect size = drv::DialogUnitsToPixels(w, 0, 0, c.cx, c.cy);
        const drv::PixelRect got = drv::ControlRect(w, c.id);
        EXPECT_EQ(got.left, origin.left) << c.id;
        EXPECT_EQ(got.top, origin.top) << c.id;
        if (c.cls == ui::ControlClass::UpDown) continue;
        EXPECT_EQ(got.right - got.left, size.right) << c.id;
        if (c.cls == ui::ControlClass::ListBox) continue;
        EXPECT_EQ(got.bottom - got.top, size.bottom) << c.id;
      }
      EXPECT_EQ(drv::FontFace(w), face == "No Such Face QV" ? fallback : face);
      EXPECT_EQ(drv::ControlText(w, kLabel), kLabelText);
      drv::ClickButton(w, ui::kIdCancel);
    });
    EXPECT_EQ(d.DoModal(), 2);
    for (const auto& [what, ok] : seen) EXPECT_TRUE(ok) << what;
    EXPECT_EQ(seen.size(), 5u);
  }
}

TEST_F(HostTest, JapaneseTextRoundTripsThroughControls) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  const std::vector<std::string> texts = {"日本語", "ｷｬﾝｾﾙ", "𠮷野家 (surrogate pair)", "ASCII と 日本語 mixed", ""};
  std::vector<std::string> read_back;
  std::string typed;
  d.on_init = [&](ScriptedDialog& self) {
    for (const auto& t : texts) {
      self.Window()->SetText(kName, t);
      read_back.push_back(self.Window()->Text(kName));
    }
    self.Window()->SetCaption("時刻合わせ");
    read_back.push_back(self.Window()->Caption());
    self.Window()->SetText(kName, "東京");
  };
  d.on_command = [&](ScriptedDialog& self, int id) {
    if (id != kAction) return false;
    typed = self.Window()->Text(kName);
    return true;
  };
  Driver driver([&] {
    const ui::WindowId w = WaitForCaption("時刻合わせ");
    ASSERT_NE(w, 0);
    EXPECT_EQ(drv::ControlText(w, kName), "東京");
    ASSERT_TRUE(drv::TypeText(w, kName, "大阪 ﾃｽﾄ"));
    drv::ClickButton(w, kAction);
    drv::ClickButton(w, ui::kIdCancel);
  });
  EXPECT_EQ(d.DoModal(), 2);
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
    const ui::WindowId w = WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    drv::TypeText(w, kName, "edit notifications");  // EN_UPDATE, EN_CHANGE: not commands
    drv::TypeText(w, kCombo, "combo notifications");
    drv::ClickButton(w, kAgree);
    drv::ClickButton(w, kAction);
    drv::ClickButton(w, kAction);
    drv::ClickButton(w, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(d.commands, (std::vector<int>{kAgree, kAction, kAction, ui::kIdOk}));
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], "init");
  EXPECT_EQ(events[1], "show");
  EXPECT_EQ(events.back(), "destroy");
}

}  // namespace
}  // namespace qv::wintest
