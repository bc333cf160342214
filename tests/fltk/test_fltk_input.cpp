// The dialog manager's keyboard and the controls under real input: Tab
// order, mnemonics, arrow keys in groups, the default button, combo boxes,
// number fields with up-down controls, the system menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fltk_templates.h"
#include "fltk_test_support.h"
#include "hosts/fltk/fltk_controls.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

// Records commands and notifications as one story.
struct Story {
  std::vector<std::string> lines;
  void Attach(ScriptedDialog& d) {
    d.on_command = [this](ScriptedDialog&, int id) {
      lines.push_back("command " + std::to_string(id));
      return id != ui::kIdCancel;  // only Cancel ends the dialog
    };
    d.on_notify = [this](ScriptedDialog&, int id, ui::Notify code) {
      static const char* names[] = {"selchange", "editchange", "killfocus"};
      lines.push_back(std::string(names[static_cast<int>(code)]) + " " + std::to_string(id));
    };
  }
};

TEST_F(HostTest, TabOrderFollowsTheTemplateAndItsTabStops) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = wintest::FormTemplate();
  ScriptedDialog d(tmpl);
  d.on_init = [](ScriptedDialog& self) { self.Window()->SetCheck(wintest::kRadioB, 1); };
  using namespace wintest;
  struct Step {
    const char* keys;
    int focus;
  };
  // Hidden and disabled controls and those without a tab stop are passed
  // over; into a radio group, Tab lands on the checked button.
  const Step steps[] = {
      {"Tab", kFirst}, {"Tab", kSecond}, {"Tab", kAgree}, {"Tab", kRadioB}, {"Tab", kCombo},
      {"Tab", kOtherCombo}, {"Tab", wintest::kList}, {"Tab", kAction}, {"Tab", ui::kIdOk}, {"Tab", ui::kIdCancel},
      {"Tab", kName}, {"shift+Tab", ui::kIdCancel}, {"shift+Tab", ui::kIdOk},
  };
  std::vector<int> got, want;
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    // The first field takes the focus once the window has it (later than
    // the window shows on a loaded machine).
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::FocusedControl(w) == kName; }, 5000));
    for (const Step& s : steps) {
      drv::Keys(w, s.keys);
      drv::WaitUntil([&] { return drv::FocusedControl(w) == s.focus; }, 2000);
      got.push_back(drv::FocusedControl(w));
      want.push_back(s.focus);
    }
    drv::Keys(w, "Escape");
  });
  EXPECT_EQ(d.DoModal(), 2);
  EXPECT_EQ(got, want);
}

TEST_F(HostTest, MnemonicsArrowsAndTheDefaultButton) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = KeysTemplate();
  ScriptedDialog d(tmpl);
  Story story;
  story.Attach(d);
  struct Step {
    const char* keys;
    int focus;          // where the focus is afterwards
    const char* story;  // what the dialog heard, if anything
  };
  const Step steps[] = {
      {"alt+l", kLog, "command 202"},             // a check box: focused, ticked, clicked
      {"a", kAdd, "command 203"},                 // a push button's mnemonic alone: focused and clicked
      {"alt+n", kServer, ""},                     // a label hands the focus on
      {"a", kServer, "editchange 201"},           // in a field a letter is text
      {"alt+y", kY, "killfocus 201, command 205"},  // a radio button: focused, checked, clicked
      {"Down", kZ, "command 206"},                // the next in its group, past the label
      {"Down", kX, "command 204"},                // round to the first
      {"Return", kX, "command 1"},                // a check or radio: Enter is the default button
      {"shift+Tab", kAdd, ""},
      {"Return", kAdd, "command 203"},            // a focused push button is the default
  };
  std::vector<std::string> got_story, want_story;
  std::vector<int> got_focus, want_focus;
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("keys");
    ASSERT_NE(w, 0);
    drv::Keys(w, "Tab");  // from the server field to the check box, quietly
    drv::WaitUntil([&] { return drv::FocusedControl(w) == kLog; });
    for (const Step& s : steps) {
      story.lines.clear();
      drv::Keys(w, s.keys);
      drv::WaitUntil([&] { return drv::FocusedControl(w) == s.focus; }, 2000);
      if (*s.story) drv::WaitUntil([&] { return !story.lines.empty(); }, 2000);
      std::string heard;
      for (const std::string& line : story.lines) heard += (heard.empty() ? "" : ", ") + line;
      got_story.push_back(heard);
      want_story.push_back(s.story);
      got_focus.push_back(drv::FocusedControl(w));
      want_focus.push_back(s.focus);
    }
    EXPECT_EQ(drv::Check(w, kLog), 1);
    EXPECT_EQ(drv::ControlText(w, kServer), "a");
    EXPECT_EQ(std::make_tuple(drv::Check(w, kX), drv::Check(w, kY), drv::Check(w, kZ)), std::make_tuple(1, 0, 0));
    drv::Keys(w, "Escape");
  });
  EXPECT_EQ(d.DoModal(), 2);
  EXPECT_EQ(got_story, want_story);
  EXPECT_EQ(got_focus, want_focus);
}

TEST_F(HostTest, CombosPickSortAndReportAsTheUserActs) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = KeysTemplate();
  ScriptedDialog d(tmpl);
  Story story;
  story.Attach(d);
  std::vector<int> added;
  std::vector<std::string> sorted;
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    for (const char* s : {"ntp.b", "NTP.a", "time.c", "ntp.a"}) added.push_back(w.AddItem(kServer, s));
    sorted = w.Items(kServer);
    for (const char* s : {"SNTP", "time", "daytime"}) w.AddItem(kProtocol, s);
    w.Select(kProtocol, 0);
  };
  std::vector<std::string> texts;
  std::vector<std::string> stories;
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("keys");
    ASSERT_NE(w, 0);
    const auto step = [&](const std::function<void()>& act, int control) {
      story.lines.clear();
      act();
      drv::WaitUntil([&] { return !story.lines.empty(); }, 2000);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      std::string heard;
      for (const std::string& line : story.lines) heard += (heard.empty() ? "" : ", ") + line;
      stories.push_back(heard);
      texts.push_back(drv::ControlText(w, control));
    };
    // The list drops from the arrow; the keyboard walks it and picks.
    const ui::Rect r = drv::ControlRect(w, kServer);
    step([&] { drv::ClickAt(r.right - 5, (r.top + r.bottom) / 2), drv::Keys(w, "Down Down Down Return"); }, kServer);
    step([&] { drv::Keys(w, "Up"); }, kServer);  // in the field, the item above
    step([&] { drv::Type(w, "x"); }, kServer);  // the chosen text is selected: typing replaces it
    // The drop-down list opens on a click; closed, arrows and letters choose.
    step([&] { drv::Click(w, kProtocol), drv::Keys(w, "Down Down Return"); }, kProtocol);
    step([&] { drv::Keys(w, "d"); }, kProtocol);
    step([&] { drv::Keys(w, "Up"); }, kProtocol);
    drv::Keys(w, "Escape");
  });
  EXPECT_EQ(d.DoModal(), 2);
  // The system's word sort: a lower-case letter before its capital on a tie.
  EXPECT_EQ(added, (std::vector<int>{0, 0, 2, 0})) << "where each sorted insert landed";
  EXPECT_EQ(sorted, (std::vector<std::string>{"ntp.a", "NTP.a", "ntp.b", "time.c"}));
  EXPECT_EQ(texts, (std::vector<std::string>{"ntp.b", "NTP.a", "x", "time", "daytime", "time"}));
  EXPECT_EQ(stories, (std::vector<std::string>{"selchange 201", "selchange 201", "editchange 201",
                                               "killfocus 201, selchange 208", "selchange 208", "selchange 208"}));
}

TEST_F(HostTest, UpDownControlsStepWrapAndAccelerate) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = KeysTemplate();
  ScriptedDialog d(tmpl);
  std::vector<std::string> minute_texts;
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    w.SetSpinRange(kMinuteSpin, 0, 59);
    w.SetSpinAccel(kMinuteSpin, {{1, 1}, {3, 5}});
    w.SetText(kMinute, "58");
    w.SetSpinRange(kCountSpin, 1000, 990);  // reversed: up counts down
    w.SetText(kCount, "995");
  };
  d.on_notify = [&](ScriptedDialog& self, int id, ui::Notify code) {
    if (id == kMinute && code == ui::Notify::kEditChange) minute_texts.push_back(self.Window()->Text(kMinute));
  };
  std::vector<std::string> seen;
  std::vector<std::string> held;
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("keys");
    ASSERT_NE(w, 0);
    const ui::Rect spin = drv::ControlRect(w, kMinuteSpin);
    const ui::Rect field = drv::ControlRect(w, kMinute);
    EXPECT_EQ(spin.left, field.right - 2) << "the up-down sits on its field's right edge";
    const auto up = [&] { drv::ClickAt(spin.left + 4, spin.top + 3); };
    const auto down = [&] { drv::ClickAt(spin.left + 4, spin.bottom - 3); };
    const auto look = [&](const std::string& want) {
      drv::WaitUntil([&] { return drv::ControlText(w, kMinute) == want; }, 2000);
      seen.push_back(drv::ControlText(w, kMinute));
    };
    up(), look("59");
    up(), look("0");    // wraps at the top
    down(), look("59");  // and at the bottom
    drv::Click(w, kMinute);
    drv::Keys(w, "Up"), look("0");  // the arrow keys step too
    drv::Keys(w, "ctrl+a BackSpace");
    drv::Type(w, "1a2"), look("12");  // a number field takes digits only
    up(), look("13");                  // a typed number counts
    const ui::Rect count = drv::ControlRect(w, kCountSpin);
    drv::ClickAt(count.left + 4, count.top + 3);
    drv::WaitUntil([&] { return drv::ControlText(w, kCount) == "994"; }, 2000);
    seen.push_back(drv::ControlText(w, kCount));
    for (int i = 0; i < 5; ++i) drv::ClickAt(count.left + 4, count.top + 3);
    drv::WaitUntil([&] { return drv::ControlText(w, kCount) == "990"; }, 2000);
    seen.push_back(drv::ControlText(w, kCount));  // stops at the end: no wrap
    // Held down: steps of 1, then of 5 after three seconds.
    minute_texts.clear();
    drv::MouseDown(w, kMinuteSpin, 4, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(3600));
    drv::MouseUp();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    held = minute_texts;
    drv::Keys(w, "Escape");
  });
  EXPECT_EQ(d.DoModal(), 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"59", "0", "59", "0", "12", "13", "994", "990"}));
  ASSERT_GE(held.size(), 20u);
  std::vector<int> steps;
  for (std::size_t i = 1; i < held.size(); ++i) steps.push_back((std::stoi(held[i]) - std::stoi(held[i - 1]) + 60) % 60);
  EXPECT_EQ(steps.front(), 1);
  EXPECT_EQ(steps.back(), 5);
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end())) << "ones, then fives";
  EXPECT_TRUE(std::all_of(steps.begin(), steps.end(), [](int s) { return s == 1 || s == 5; }));
}

TEST_F(HostTest, SystemMenuCarriesTheDialogsCommands) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = KeysTemplate();
  ScriptedDialog d(tmpl);
  std::vector<unsigned> heard;
  const bool managed = Host().WindowManagerRunning();
  d.on_init = [&](ScriptedDialog& self) {
    self.Window()->AppendSystemMenuSeparator();
    self.Window()->AppendSystemMenuItem(16, "ﾊﾞｰｼﾞｮﾝ情報 (&A)...");
    self.Window()->AppendSystemMenuItem(32, "removed");
    self.Window()->RemoveSystemMenuItem(32);
  };
  d.on_sys_command = [&](ScriptedDialog&, unsigned command) {
    heard.push_back(command);
    return command == 16;  // the rest gets the standard handling
  };
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("keys");
    ASSERT_NE(w, 0);
    drv::Keys(w, "alt+space");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    drv::Keys(w, "Up Return");  // the last item: the dialog's own
    ASSERT_TRUE(drv::WaitUntil([&] { return heard.size() == 1; }));
    drv::Keys(w, "alt+space");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    drv::Keys(w, "Down Return");  // the first: minimise, greyed without a window manager
    if (managed) {
      EXPECT_TRUE(drv::WaitUntil([&] { return drv::IsMinimized(w); }));
    }
    Host().Post(w, ui::kWmSysCommand, ui::kScClose, 0);
  });
  EXPECT_EQ(d.DoModal(), 2);
  EXPECT_EQ(heard, managed ? (std::vector<unsigned>{16, ui::kScMinimize, ui::kScClose})
                           : (std::vector<unsigned>{16, ui::kScClose}));
}

}  // namespace
}  // namespace qv::fltktest
