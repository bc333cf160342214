// The dialog manager's keyboard and the controls under real input: Tab
// order, mnemonics, arrow keys in groups, the default button, combo boxes,
// number fields with up-down controls, the system menu.
#include <gtest/gtest.h>

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
  std::string Heard() const {
    std::string heard;
    for (const std::string& line : lines) heard += (heard.empty() ? "" : ", ") + line;
    return heard;
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
      got_story.push_back(story.Heard());
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

TEST_F(HostTest, CombosPickAndReportAsTheUserActs) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = KeysTemplate();
  ScriptedDialog d(tmpl);
  Story story;
  story.Attach(d);
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    for (const char* s : {"ntp.b", "NTP.a", "time.c", "ntp.a"}) w.AddItem(kServer, s);  // sorted: SortedItems
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
      stories.push_back(story.Heard());
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
  EXPECT_EQ(texts, (std::vector<std::string>{"ntp.b", "NTP.a", "x", "time", "daytime", "time"}));
  EXPECT_EQ(stories, (std::vector<std::string>{"selchange 201", "selchange 201", "editchange 201",
                                               "killfocus 201, selchange 208", "selchange 208", "selchange 208"}));
}

// The arrows under the mouse and typed digits (the arrow keys, ranges,
// wrapping and a typed number: the SpinArrows scenario; the step when held:
// SpinIncrement).
TEST_F(HostTest, UpDownArrowsUnderTheMouse) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = KeysTemplate();
  ScriptedDialog d(tmpl);
  d.on_init = [&](ScriptedDialog& self) {
    self.Window()->SetSpinRange(kMinuteSpin, 0, 59);
    self.Window()->SetText(kMinute, "58");
  };
  std::vector<std::string> seen;
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("keys");
    ASSERT_NE(w, 0);
    const ui::Rect spin = drv::ControlRect(w, kMinuteSpin);
    const auto look = [&](const std::string& want) {
      drv::WaitUntil([&] { return drv::ControlText(w, kMinute) == want; }, 2000);
      seen.push_back(drv::ControlText(w, kMinute));
    };
    drv::ClickAt(spin.left + 4, spin.top + 3), look("59");
    drv::ClickAt(spin.left + 4, spin.bottom - 3), look("58");
    drv::Click(w, kMinute);
    drv::Keys(w, "ctrl+a BackSpace");
    drv::Type(w, "1a2"), look("12");  // a number field takes digits only
    drv::Keys(w, "Escape");
  });
  EXPECT_EQ(d.DoModal(), 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"59", "58", "12"}));
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
