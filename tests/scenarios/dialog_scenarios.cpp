// The shared dialog scenarios: message order around initialisation and the
// first show, message boxes with timers ticking under them, nesting from a
// posted message, data exchange, notifications, the system menu, placement,
// properties, up-down controls, the keyboard, throwing handlers, sorting,
// geometry. Each expectation was measured on the win32 host under Wine.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "engine/query_job.h"
#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "platform/process.h"
#include "runner/query_runner.h"
#include "scenarios/scenario.h"
#include "settings/strings.h"
#include "ui/icon_paint.h"

namespace qv::scenario {
namespace {

using namespace ui::style;
using ui::ControlClass;

// clang-format off
enum : int {
  kName = 100, kFirst = 101, kAgree = 102, kTri = 103, kR0 = 104, kSlash = 105, kR1 = 106, kR2 = 107,
  kCombo = 108, kList = 109, kSorted = 110, kCount = 111, kSpin = 112, kFixed = 113, kFixedSpin = 114,
  kAction = 115, kOther = 116, kDefault = 117, kGreyed = 118, kListBox = 119, kHidden = 120,
};
// clang-format on
constexpr unsigned kMsg = ui::kWmUser + 100;

// One form with every control kind the programs use.
ui::DialogTemplate Form(const std::string& caption, std::uint32_t extra_style = 0) {
  const std::uint32_t v = kVisible;
  constexpr std::uint32_t kStyle = kPopup | kCaption | kSysMenu | kMinimizeBox | kDsModalFrame | kDsSetFont;
  ui::DialogTemplate t{900, 20, 30, 200, 150, kStyle | extra_style, caption, "ＭＳ Ｐゴシック", 9, {}};
  auto& c = t.controls;
  c.push_back({kName, ControlClass::Edit, "", 8, 8, 60, 12, v | kBorder | kTabStop | kGroup | kEsAutoHScroll});
  c.push_back({kFirst, ControlClass::Edit, "", 72, 8, 30, 12, v | kBorder | kTabStop});
  c.push_back({kAgree, ControlClass::Button, "同意", 8, 24, 60, 10, v | kBsAutoCheckBox | kTabStop});
  c.push_back({kTri, ControlClass::Button, "3", 72, 24, 40, 10, v | kBsAuto3State | kTabStop});
  c.push_back({kR0, ControlClass::Button, "秒", 8, 38, 20, 10, v | kBsAutoRadio | kGroup | kTabStop});
  c.push_back({kSlash, ControlClass::Static, "/", 30, 38, 6, 8, v});
  c.push_back({kR1, ControlClass::Button, "分", 38, 38, 20, 10, v | kBsAutoRadio});
  c.push_back({kR2, ControlClass::Button, "時間", 60, 38, 30, 10, v | kBsAutoRadio});
  c.push_back({kCombo, ControlClass::ComboBox, "", 8, 52, 60, 60, v | kCbsDropDown | kGroup | kTabStop});
  c.push_back({kList, ControlClass::ComboBox, "", 72, 52, 60, 60, v | kCbsDropDownList | kTabStop});
  c.push_back({kSorted, ControlClass::ComboBox, "", 136, 52, 60, 60, v | kCbsDropDown | kCbsSort | kTabStop});
  c.push_back({kCount, ControlClass::Edit, "", 8, 70, 30, 12, v | kBorder | kTabStop | kEsRight});
  c.push_back({kSpin, ControlClass::UpDown, "", 0, 0, 0, 0,
               v | kUdsWrap | kUdsSetBuddyInt | kUdsAlignRight | kUdsAutoBuddy | kUdsArrowKeys});
  c.push_back({kFixed, ControlClass::Edit, "", 60, 70, 30, 12, v | kBorder | kTabStop | kEsRight});
  c.push_back({kFixedSpin, ControlClass::UpDown, "", 0, 0, 0, 0,
               v | kUdsSetBuddyInt | kUdsAlignRight | kUdsAutoBuddy | kUdsArrowKeys});
  c.push_back({kAction, ControlClass::Button, "実行", 8, 90, 40, 14, v | kBsPushButton | kTabStop});
  c.push_back({kOther, ControlClass::Button, "他", 52, 90, 40, 14, v | kBsPushButton | kTabStop});
  c.push_back({kDefault, ControlClass::Button, "調整", 96, 90, 40, 14, v | kBsDefPushButton | kTabStop});
  c.push_back({kGreyed, ControlClass::Button, "無効", 140, 90, 40, 14, v | kDisabled | kBsPushButton});
  c.push_back({ui::kIdOk, ControlClass::Button, "OK", 100, 120, 40, 14, v | kBsPushButton | kTabStop});
  c.push_back({kListBox, ControlClass::ListBox, "", 140, 8, 56, 40, v | kBorder | kTabStop | kLbsNotify});
  c.push_back({ui::kIdCancel, ControlClass::Button, "ｷｬﾝｾﾙ", 150, 120, 40, 14, v | kBsPushButton | kTabStop});
  return t;
}

std::string Hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", v);
  return buf;
}
std::string Str(const ui::Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// The dialog's own copy of its template, made before the dialog that
// refers to it.
struct OwnTemplate {
  ui::DialogTemplate copy;
};

// A dialog that logs what it hears; handlers are set per scenario.
class Probe : private OwnTemplate, public ui::Dialog {
 public:
  Probe(ui::DialogTemplate t, Log& log, std::string tag = {})
      : OwnTemplate{std::move(t)}, Dialog(copy), log_(log), tag_(std::move(tag)) {}
  using Dialog::EndDialog;
  using Dialog::UpdateData;

  std::function<void(Probe&)> on_init, on_show;
  std::function<bool(Probe&, int)> on_command;  // true: handled
  std::function<void(Probe&, std::uintptr_t)> on_timer;
  // Every message the program gets; messages kMsg are logged.
  std::function<std::intptr_t(Probe&, unsigned, std::uintptr_t, std::intptr_t)> on_message;
  std::function<void(ui::DataExchange&)> exchange;
  void Note(const std::string& what) { log_.Add(tag_.empty() ? what : tag_ + " " + what); }

 protected:
  bool OnInitDialog() override {
    Note("init");
    const bool r = Dialog::OnInitDialog();
    if (on_init) on_init(*this);
    return r;
  }
  void OnShow(bool shown) override {
    Note(shown ? "show" : "hide");
    if (shown && on_show) on_show(*this);
  }
  void OnCommand(int id) override {
    Note("cmd " + std::to_string(id));
    if (on_command && on_command(*this, id)) return;
    Dialog::OnCommand(id);
  }
  void OnTimer(std::uintptr_t id) override {
    log_.Tick(id);
    if (on_timer) on_timer(*this, id);
  }
  std::intptr_t OnMessage(unsigned msg, std::uintptr_t wp, std::intptr_t lp) override {
    if (msg == kMsg) Note("msg " + std::to_string(wp));
    return on_message ? on_message(*this, msg, wp, lp) : 0;
  }
  bool OnSysCommand(unsigned command) override {
    Note("syscmd " + Hex(command));
    return (command & 0xFFF0) == 16;  // the program's own item
  }
  void OnNotify(int control, ui::Notify code) override {
    const char* what = code == ui::Notify::kSelChange ? "sel" : code == ui::Notify::kEditChange ? "edit" : "kill";
    Note("notify " + std::to_string(control) + " " + what);
  }
  void OnTimeChange() override { Note("timechange"); }
  void OnDestroy() override { Note("destroy"); }
  void DoDataExchange(ui::DataExchange& dx) override {
    if (exchange) exchange(dx);
  }

 private:
  Log& log_;
  std::string tag_;
};

using Events = std::vector<std::string>;

// The log without its focus moves (another scenario's concern).
Events WithoutNotifications(const Log& log) {
  Events seen;
  for (const std::string& e : log.Events())
    if (e.rfind("notify", 0) != 0) seen.push_back(e);
  return seen;
}

// The user plays `script` on the probe's window once it shows while the
// dialogs' thread runs it, which must end with `result`.
void PlayForm(Stage& stage, Probe& d, int result, const std::function<void(User&, WindowId)>& script) {
  stage.Play(
      [&](User& u) {
        const WindowId w = u.WaitWindow(d.Template().caption);
        ASSERT_NE(w, 0);
        script(u, w);
      },
      [&] { EXPECT_EQ(d.DoModal(), result); });
}

// ------------------------------------------------------------- scenarios

// A dialog is shown once its queue runs dry: messages posted during
// initialisation (and those they post) come first, unless the template is
// visible. One ended during initialisation is never shown.
void ShowOrder(Stage& stage) {
  struct Case {
    const char* name;
    std::uint32_t style;
    bool end_in_init;
    Events want;
  };
  const Case cases[] = {
      {"hidden", 0, false, {"init", "msg 0", "msg 1", "msg 2", "show", "notify 100 kill", "cmd 2", "destroy"}},
      {"visible", kVisible, false, {"init", "show", "msg 0", "msg 1", "msg 2", "notify 100 kill", "cmd 2", "destroy"}},
      {"ended in init", 0, true, {"init", "destroy"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    Probe d(Form(std::string("order ") + c.name, c.style), log);
    d.on_init = [&](Probe& self) {
      ui::CurrentHost().Post(self.Id(), kMsg, 0, 0);
      if (c.end_in_init) self.EndDialog(1);
    };
    d.on_message = [](Probe& self, unsigned, std::uintptr_t n, std::intptr_t) -> std::intptr_t {
      if (n < 2) ui::CurrentHost().Post(self.Id(), kMsg, n + 1, 0);
      return 0;
    };
    if (c.end_in_init) {
      stage.Play([](User&) {}, [&] { EXPECT_EQ(d.DoModal(), 1); });
    } else {
      PlayForm(stage, d, 2, [&](User& u, WindowId w) {
        EXPECT_TRUE(log.WaitFor("msg 2"));
        EXPECT_TRUE(u.Click(w, ui::kIdCancel));
      });
    }
    EXPECT_EQ(log.Events(), c.want);
  }
}

// A message box is modal to its owner (disabled, deaf to clicks) and its
// loop goes on dispatching the owner's timer ticks and posted messages.
// Esc answers Cancel, on a box with OK alone too (as Wine does).
void MessageBoxLoop(Stage& stage) {
  Log log;
  Probe d(Form("box loop"), log);
  d.on_init = [](Probe& self) { self.Window()->SetTimer(7, 100); };
  d.on_command = [&](Probe& self, int id) {
    if (id == kAction) {
      ui::CurrentHost().Post(self.Id(), kMsg, 5, 0);
      self.Note("answer " + std::to_string(ui::ShowMessage("続けますか?", ui::kMbOkCancel | ui::kMbIconWarning)));
    } else if (id == kOther) {
      self.Note("answer " + std::to_string(ui::ShowMessage("Note.")));
    }
    return id == kAction || id == kOther;
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    ASSERT_TRUE(u.Click(w, kAction));
    const WindowId box = u.WaitBox("続けますか?");
    ASSERT_NE(box, 0);
    EXPECT_EQ(u.Owner(box), w);
    EXPECT_EQ(u.Caption(box), platform::ExecutableBaseName());
    EXPECT_FALSE(u.IsEnabled(w)) << "the owner is disabled under the box";
    EXPECT_FALSE(u.Click(w, kOther)) << "and takes no clicks";
    const int before = log.Ticks(7);
    u.Pass(1000);
    EXPECT_GE(log.Ticks(7) - before, 5) << "the owner's timer ticks under the box";
    EXPECT_TRUE(log.WaitFor("msg 5")) << "a message posted to the owner arrives under the box";
    EXPECT_TRUE(u.Click(box, ui::kIdCancel));
    EXPECT_TRUE(u.WaitGone(box));
    EXPECT_TRUE(u.IsEnabled(w));
    for (int id : {kAction, kOther}) {
      ASSERT_TRUE(u.Click(w, id));
      const WindowId esc_box = u.WaitBox(id == kAction ? "続けますか?" : "Note.");
      ASSERT_NE(esc_box, 0);
      EXPECT_TRUE(u.PressEsc(esc_box));
      EXPECT_TRUE(u.WaitGone(esc_box));
    }
    EXPECT_TRUE(u.Click(w, ui::kIdCancel));
  });
  EXPECT_EQ(WithoutNotifications(log), (Events{"init", "show", "cmd 115", "msg 5", "answer 2", "cmd 115", "msg 5",
                                               "answer 2", "cmd 116", "answer 2", "cmd 2", "destroy"}));
}

// The query runner opened from a message posted during its owner's
// initialisation: it runs its own loop before the owner was ever shown, its
// worker's done message ends it, the owner shows afterwards.
void RunnerFromPostedMessage(Stage& stage) {
  Log log;
  Probe owner(Form("runner owner"), log);
  owner.on_init = [](Probe& self) { ui::CurrentHost().Post(self.Id(), kMsg, 1, 0); };
  owner.on_message = [&](Probe& self, unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    engine::QueryJob job;
    job.server = "127.0.0.1";
    job.timeout = 30;
    runner::QueryRunnerDialog dialog(runner::Variant::kMain, [](const engine::QueryJob&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      engine::Reply reply;
      reply.error_code = 7;  // the worker's own answer
      return reply;
    });
    const int modal = dialog.Run(job);
    self.Note("runner " + std::to_string(modal) + " " + std::to_string(dialog.reply().ok()) + " " +
              std::to_string(dialog.reply().error_code));
    return 0;
  };
  PlayForm(stage, owner, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(u.PressEsc(w));
  });
  EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(5)));
  EXPECT_EQ(log.Events(), (Events{"init", "msg 1", "runner 1 1 7", "show", "cmd 2", "destroy"}));
}

// The countdown dialog of each program: its caption, the server it asks,
// the countdown a second at a time, the focus on Cancel; only the main
// program's carries Suspend, Resume and Terminate, none of which a user can
// press. The worker's done message, posted from its thread, ends it with
// the worker's reply; Cancel ends it as cancelled and wakes the worker.
void RunnerEndings(Stage& stage) {
  struct Case {
    runner::Variant variant;
    const ui::StringTable* strings;
    const char* caption;
    bool cancel;
    int result;
    engine::Stage stage;
    int error_code;  // 7: the worker's own reply
  };
  const Case cases[] = {
      {runner::Variant::kMain, &main::Strings(), "Quorvel", false, 1, engine::Stage::kOk, 7},
      {runner::Variant::kSettings, &settings::Strings(), "Quorvel  <Setting>", true, 2, engine::Stage::kUserCancelled, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    ui::SetStringTable(c.strings);
    std::atomic<bool> release{false};
    engine::QueryJob job;
    job.server = "ntp.example.jp";
    job.timeout = 20;
    runner::QueryRunnerDialog dialog(c.variant, [&](const engine::QueryJob& j) {
      while (!release && !j.cancel->Fired()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      engine::Reply reply;
      reply.error_code = 7;
      return reply;
    });
    stage.Play(
        [&](User& u) {
          const WindowId w = u.WaitWindow(c.caption);
          ASSERT_NE(w, 0);
          EXPECT_EQ(u.Text(w, runner::kIdServerText), "ntp.example.jp");
          EXPECT_EQ(u.Text(w, ui::kIdCancel), "ｷｬﾝｾﾙ");
          for (int i = 0; i < 100 && u.Text(w, runner::kIdCountdown) == "20"; ++i) u.Pass(100);
          EXPECT_EQ(u.Text(w, runner::kIdCountdown), "19") << "a tick a second";
          EXPECT_EQ(u.Focused(w), ui::kIdCancel) << "the only control that takes the focus";
          for (int id : {runner::kIdSuspend, runner::kIdResume, runner::kIdTerminate}) {
            EXPECT_EQ(u.Text(w, id).empty(), c.variant == runner::Variant::kSettings) << id;
            EXPECT_FALSE(u.Click(w, id)) << id;
          }
          if (c.cancel)
            EXPECT_TRUE(u.Click(w, ui::kIdCancel));
          else
            release = true;
        },
        [&] { EXPECT_EQ(dialog.Run(job), c.result); });
    EXPECT_EQ(dialog.reply().stage, c.stage);
    EXPECT_EQ(dialog.reply().error_code, c.error_code);
    EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(10))) << "Cancel wakes the worker";
    release = true;
  }
  ui::SetStringTable(&test::FrameworkStrings());
}

// What the program sets and reads back through the host: a hidden control
// starts hidden and a disabled one disabled, until told otherwise; one that
// does not exist reads as nothing; texts beyond ASCII and beyond the BMP,
// and the caption, come back as set; what the user types the program reads.
void ControlStatesAndTexts(Stage& stage) {
  ui::DialogTemplate t = Form("states");
  t.controls.push_back({kHidden, ControlClass::Button, "隠", 8, 106, 40, 12, kBsPushButton | kTabStop});
  Log log;
  Probe d(std::move(t), log);
  const Events texts = {"日本語", "ｷｬﾝｾﾙ", "𠮷野家 (outside the BMP)", "", "a&b @c"};
  d.on_init = [&](Probe& self) {
    ui::HostWindow& w = *self.Window();
    self.Note("hidden " + std::to_string(w.IsVisible(kHidden)) + std::to_string(w.IsVisible(kName)));
    self.Note("enabled " + std::to_string(w.IsEnabled(kGreyed)) + std::to_string(w.IsEnabled(kAction)));
    w.Show(kHidden, true);
    w.Enable(kGreyed, true);
    w.Show(kAction, false);
    self.Note("changed " + std::to_string(w.IsVisible(kHidden)) + std::to_string(w.IsVisible(kAction)) +
              std::to_string(w.IsEnabled(kGreyed)));
    self.Note("missing '" + w.Text(4242) + "' " + std::to_string(w.IsVisible(4242)) + " " +
              std::to_string(w.Selection(4242)));
    for (const std::string& text : texts) {
      w.SetText(kName, text);
      self.Note("read " + w.Text(kName));
    }
    w.SetCaption("時刻合わせ");
    self.Note("caption " + w.Caption());
  };
  d.on_command = [&](Probe& self, int id) {
    if (id == kGreyed) self.Note("typed " + self.Window()->Text(kName));
    return id == kGreyed;
  };
  stage.Play(
      [&](User& u) {
        const WindowId w = u.WaitWindow("時刻合わせ");
        ASSERT_NE(w, 0);
        EXPECT_FALSE(u.Click(w, kAction)) << "hidden: nothing to click";
        EXPECT_TRUE(u.Click(w, kHidden));
        EXPECT_TRUE(u.Type(w, kName, "大阪 ﾃｽﾄ"));
        EXPECT_TRUE(u.Click(w, kGreyed));
        EXPECT_TRUE(u.Click(w, ui::kIdCancel));
      },
      [&] { EXPECT_EQ(d.DoModal(), 2); });
  Events want = {"init", "hidden 01", "enabled 01", "changed 101", "missing '' 0 -1"};
  for (const std::string& text : texts) want.push_back("read " + text);
  want.insert(want.end(), {"caption 時刻合わせ", "show", "cmd 120", "cmd 118", "typed 大阪 ﾃｽﾄ", "cmd 2", "destroy"});
  EXPECT_EQ(WithoutNotifications(log), want);
}

// Members to controls and back: check boxes hold 0 or 1 (three-state 0, 1,
// 2), a radio group counts only its radio buttons, a combo selects the
// first item beginning with the text; without one a drop-down shows the
// text and a drop-down list keeps its selection.
void ExchangeBothWays(Stage& stage) {
  struct Case {
    const char* name;
    int agree, tri, radio;
    const char* combo;
    const char* list;
    // What the user sees, then what reading gives back.
    int shown_agree, shown_tri;
    int shown_radios[3];
    const char* shown_combo;
    const char* shown_list;
    int read_radio;
  };
  const Case cases[] = {
      {"as they are", 1, 2, 1, "time", "daytime", 1, 2, {0, 1, 0}, "time", "daytime", 1},
      {"prefix, any case", 0, 0, 0, "DAY", "ti", 0, 0, {1, 0, 0}, "daytime", "time", 0},
      {"normalised", 7, 9, 2, "sntp", "SNTP", 1, 2, {0, 0, 1}, "SNTP", "SNTP", 2},
      {"no such item", -1, -1, 5, "ntp", "ntp", 1, 2, {0, 0, 0}, "ntp", "time", -1},
      {"empty", 0, 1, -1, "", "", 0, 1, {0, 0, 0}, "", "time", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    Probe d(Form(std::string("exchange ") + c.name), log);
    int agree = c.agree, tri = c.tri, radio = c.radio;
    std::string combo = c.combo, list = c.list;
    d.on_init = [&](Probe& self) {
      for (int id : {kCombo, kList})
        for (const char* item : {"SNTP", "time", "daytime"}) self.Window()->AddItem(id, item);
      self.Window()->Select(kList, 1);
      self.UpdateData(false);
    };
    d.exchange = [&](ui::DataExchange& dx) {
      dx.Check(kAgree, agree);
      dx.Check(kTri, tri);
      dx.Radio(kR0, radio);
      dx.ComboText(kCombo, combo);
      dx.ComboText(kList, list);
    };
    PlayForm(stage, d, 1, [&](User& u, WindowId w) {
      EXPECT_EQ(u.Check(w, kAgree), c.shown_agree);
      EXPECT_EQ(u.Check(w, kTri), c.shown_tri);
      EXPECT_EQ((std::vector<int>{u.Check(w, kR0), u.Check(w, kR1), u.Check(w, kR2)}),
                (std::vector<int>(c.shown_radios, c.shown_radios + 3)));
      EXPECT_EQ(u.Text(w, kCombo), c.shown_combo);
      EXPECT_EQ(u.Text(w, kList), c.shown_list);
      EXPECT_TRUE(u.Click(w, ui::kIdOk));
    });
    EXPECT_EQ(agree, c.shown_agree);
    EXPECT_EQ(tri, c.shown_tri);
    EXPECT_EQ(radio, c.read_radio);
    EXPECT_EQ(combo, c.shown_combo);
    EXPECT_EQ(list, c.shown_list);
  }
}

// Clicks: a three-state box runs 0, 1, 2, 0; an automatic radio button
// unchecks the others of its group that the user could reach (a disabled
// one keeps its check); a disabled button cannot be clicked.
void ButtonClicks(Stage& stage) {
  Log log;
  Probe d(Form("clicks"), log);
  d.on_init = [](Probe& self) {
    self.Window()->SetCheck(kR0, 1);
    self.Window()->SetCheck(kR2, 1);
    self.Window()->Enable(kR2, false);
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    std::vector<int> tri;
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(u.Click(w, kTri));
      tri.push_back(u.Check(w, kTri));
    }
    EXPECT_EQ(tri, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_TRUE(u.Click(w, kR1));
    EXPECT_EQ((std::vector<int>{u.Check(w, kR0), u.Check(w, kR1), u.Check(w, kR2)}), (std::vector<int>{0, 1, 1}));
    EXPECT_FALSE(u.Click(w, kR2));
    EXPECT_FALSE(u.Click(w, kGreyed));
    EXPECT_TRUE(u.Click(w, kAgree));
    EXPECT_EQ(u.Check(w, kAgree), 1);
    EXPECT_TRUE(u.Click(w, ui::kIdCancel));
  });
  EXPECT_EQ(log.Events(), (Events{"init", "show", "notify 100 kill", "cmd 103", "cmd 103", "cmd 103", "cmd 103",
                                  "cmd 106", "cmd 102", "cmd 2", "destroy"}));
}

// Notifications come from the user's changes only: typing, picking, the
// up-down's arrows, moving between fields. The program's own changes, its
// own focus moves and a message box taking the focus send none.
void Notifications(Stage& stage) {
  Log log;
  Probe d(Form("notify"), log);
  d.on_init = [](Probe& self) {
    ui::HostWindow& w = *self.Window();
    for (const char* item : {"SNTP", "time", "daytime"}) w.AddItem(kCombo, item);
    w.SetSpinRange(kSpin, 0, 59);
    w.SetText(kName, "set by the program");
  };
  d.on_command = [](Probe& self, int id) {
    if (id != kAction) return false;
    ui::HostWindow& w = *self.Window();
    w.SetText(kName, "x");
    w.SetText(kCombo, "y");
    w.Select(kCombo, 2);
    w.AddItem(kCombo, "z");
    w.ClearItems(kSorted);
    w.Focus(kFirst);
    ui::ShowMessage("Changed.");
    return true;
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_EQ(u.Focused(w), kName) << "the first tab stop has the focus";
    EXPECT_TRUE(u.Type(w, kName, "abc"));
    EXPECT_TRUE(u.Type(w, kFirst, "7"));
    EXPECT_TRUE(u.Choose(w, kCombo, 1));
    EXPECT_EQ(u.Text(w, kCombo), "time");
    EXPECT_TRUE(u.Spin(w, kSpin, 1));
    EXPECT_TRUE(u.Click(w, kAction));
    const WindowId box = u.WaitBox("Changed.");
    ASSERT_NE(box, 0);
    EXPECT_TRUE(u.Click(box, ui::kIdOk));
    EXPECT_TRUE(u.WaitGone(box));
    EXPECT_EQ(u.Focused(w), kFirst) << "where the program put it";
    EXPECT_TRUE(u.FocusOn(w, kName));
    EXPECT_TRUE(u.PressEsc(w));
  });
  EXPECT_EQ(log.Events(), (Events{"init", "show", "notify 100 edit", "notify 100 kill", "notify 101 edit",
                                  "notify 101 kill", "notify 108 sel", "notify 108 kill", "notify 111 edit",
                                  "notify 111 kill", "cmd 115", "notify 101 kill", "cmd 2", "destroy"}));
}

// The system menu: the program's own item reaches the dialog; removed items
// cannot be picked; minimise, restore and close do their work when the
// dialog leaves them to the system (close is Cancel).
void SystemMenu(Stage& stage) {
  Log log;
  Probe d(Form("system menu"), log);
  d.on_init = [](Probe& self) {
    ui::HostWindow& w = *self.Window();
    w.AppendSystemMenuSeparator();
    w.AppendSystemMenuItem(16, "about");
    w.RemoveSystemMenuItem(ui::kScSize);
    w.RemoveSystemMenuItem(ui::kScMaximize);
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(u.SystemCommand(w, 16));
    EXPECT_FALSE(u.SystemCommand(w, ui::kScSize));
    EXPECT_FALSE(u.SystemCommand(w, ui::kScMaximize));
    EXPECT_TRUE(u.SystemCommand(w, ui::kScMinimize));
    EXPECT_EQ(u.IsMinimized(w), u.CanMinimize());
    EXPECT_TRUE(u.SystemCommand(w, ui::kScRestore));
    EXPECT_FALSE(u.IsMinimized(w));
    EXPECT_TRUE(u.SystemCommand(w, ui::kScClose));
  });
  // Where a window manager minimises, the activation moves on (as Windows
  // documents it does when another window can take it): the field then
  // hears that it lost the focus, once, when the window manager's word
  // arrives (after the restore, on a busy machine).
  Events events = log.Events();
  const Events::iterator minimised = std::find(events.begin(), events.end(), "syscmd F020");
  const Events::iterator kill = std::find(minimised, events.end(), "notify 100 kill");
  if (kill != events.end() && kill < std::find(minimised, events.end(), "cmd 2")) events.erase(kill);
  EXPECT_EQ(events,
            (Events{"init", "show", "syscmd 10", "syscmd F020", "syscmd F120", "syscmd F060", "cmd 2", "destroy"}));
}

// Where windows go: the template's position from the screen's corner (from
// the owner's client area for an owned dialog), pulled into the work area;
// the normal rectangle survives minimising; moving a minimised window moves
// its icon and resizing it does nothing.
void Placement(Stage& stage) {
  Log log;
  ui::DialogTemplate inner_t = Form("placed inner"), far_t = Form("placed far"), near_t = Form("placed near");
  inner_t.x = 10;
  inner_t.y = 5;
  far_t.x = far_t.y = 2000;
  near_t.x = near_t.y = -200;
  Probe d(Form("placement"), log), inner(inner_t, log), far(far_t, log), near(near_t, log);
  for (Probe* p : {&inner, &far, &near})
    p->on_init = [&log](Probe& self) {
      log.Add(self.Template().caption + " " + Str(self.Window()->WindowRect()));
      self.EndDialog(1);
    };
  bool once = false;
  d.on_show = [&](Probe& self) {
    if (once) return;
    once = true;
    ui::HostWindow& w = *self.Window();
    auto note = [&](const char* what) {
      const ui::WindowPlacement p = w.Placement();
      log.Add(std::string(what) + " " + Str(w.WindowRect()) + " min " + std::to_string(w.IsMinimized()) + " show " +
              std::to_string(p.show_cmd) + " normal " + Str(p.normal));
    };
    note("first");
    log.Add("control " + Str(w.ControlRect(kName)) + " " + Str(w.ControlRect(kOther)));
    w.ShowWindow(ui::kSwShowMinNoActive);
    note("minimised");
    w.MoveWindow(60, 70);
    w.ResizeWindow(300, 200);
    note("moved");
    w.ShowWindow(ui::kSwRestore);
    note("restored");
    w.MoveWindow(100, 100);
    w.ResizeWindow(300, 200);
    note("resized");
    ui::WindowPlacement p = w.Placement();
    p.show_cmd = ui::kSwShowMinNoActive;
    p.set_min_position = true;
    p.normal = {120, 110, 476, 379};
    w.SetPlacement(p);
    note("placed");
    w.ShowWindow(ui::kSwShowNormal);
    note("shown");
    w.ShowWindow(ui::kSwHide);
    w.ShowWindow(ui::kSwShow);
    inner.DoModal(self.Id());
    far.DoModal(self.Id());
    near.DoModal(self.Id());
    log.Add("done");
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(log.WaitFor("done"));
    EXPECT_TRUE(u.Close(w));
  });
  EXPECT_EQ(log.Events(), (Events{"init",
                                  "show",
                                  "first 32,27,388,296 min 0 show 1 normal 32,27,388,296",
                                  "control 49,62,154,82 126,195,196,218",
                                  "minimised 0,1000,160,1024 min 1 show 2 normal 32,27,388,296",
                                  "moved 60,70,220,94 min 1 show 2 normal 32,27,388,296",
                                  "restored 32,27,388,296 min 0 show 1 normal 32,27,388,296",
                                  "resized 100,100,400,300 min 0 show 1 normal 100,100,400,300",
                                  "placed 60,70,220,94 min 1 show 2 normal 120,110,476,379",
                                  "shown 120,110,476,379 min 0 show 1 normal 120,110,476,379",
                                  "hide",
                                  "show",
                                  "init",
                                  "placed inner 138,118,494,387",
                                  "destroy",
                                  "init",
                                  "placed far 921,752,1277,1021",
                                  "destroy",
                                  "init",
                                  "placed near 0,0,356,269",
                                  "destroy",
                                  "done",
                                  "cmd 2",
                                  "destroy"}));
}

// Minimised without activation from the first show notification (an iconic
// start): it stays minimised once the dialog manager's show has finished
// (where windows minimise at all).
void MinimisedAtFirstShow(Stage& stage) {
  Log log;
  Probe d(Form("iconic"), log);
  d.on_show = [](Probe& self) {
    ui::WindowPlacement p = self.Window()->Placement();
    p.show_cmd = ui::kSwShowMinNoActive;
    p.set_min_position = true;
    self.Window()->SetPlacement(p);
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    u.Pass(200);
    EXPECT_EQ(u.IsMinimized(w), u.CanMinimize());
    EXPECT_TRUE(u.SystemCommand(w, ui::kScRestore));
    EXPECT_FALSE(u.IsMinimized(w));
    EXPECT_TRUE(u.PressEsc(w));
  });
  EXPECT_EQ(log.Events(), (Events{"init", "show", "syscmd F120", "cmd 2", "destroy"}));
}

// Properties, other windows, the screen.
void WindowServices(Stage& stage) {
  Log log;
  Probe d(Form("services"), log), gone(Form("gone"), log, "gone");
  WindowId gone_id = 0;
  gone.on_init = [&](Probe& self) {
    gone_id = self.Id();
    self.EndDialog(1);
  };
  d.on_show = [&](Probe& self) {
    ui::HostWindow& w = *self.Window();
    ui::Host& host = ui::CurrentHost();
    w.SetProperty("QvTest", 42);
    const std::intptr_t set = w.Property("QvTest");
    w.RemoveProperty("QvTest");
    log.Add("property " + std::to_string(set) + " " + std::to_string(w.Property("QvTest")) + " " +
            std::to_string(w.Property("QvMissing")));
    gone.DoModal(self.Id());
    ui::WindowPlacement p;
    std::string error;
    const bool own = host.PlacementOf(self.Id(), p, error);
    log.Add("placement of self " + std::to_string(own) + " " + Str(p.normal) + " == " + Str(w.WindowRect()));
    const bool other = host.PlacementOf(gone_id, p, error);
    log.Add("placement of a closed window " + std::to_string(other) + " error given " + std::to_string(!error.empty()));
    log.Add("exists " + std::to_string(host.WindowExists(self.Id())) + " " +
            std::to_string(host.WindowExists(gone_id)) + " " + std::to_string(host.WindowExists(0)));
    log.Add("screen " + std::to_string(host.ScreenSize().x) + "x" + std::to_string(host.ScreenSize().y) + " work " +
            Str(host.WorkArea()) + " shift " + std::to_string(host.IsKeyDown(ui::Key::kShift)));
    log.Add("active is self " + std::to_string(host.ActiveWindow() == self.Id()));
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(u.TimeChanged(w));
    EXPECT_TRUE(u.Resumed(w));
    EXPECT_TRUE(u.PressEsc(w));
  });
  EXPECT_EQ(log.Events(), (Events{"init", "show", "property 42 0 0", "gone init", "gone destroy",
                                  "placement of self 1 32,27,388,296 == 32,27,388,296",
                                  "placement of a closed window 0 error given 1", "exists 1 0 0",
                                  "screen 1280x1024 work 0,0,1280,1024 shift 0", "active is self 1", "timechange",
                                  "timechange", "cmd 2", "destroy"}));
}

// Up-down controls: each arrow press reads the field (a number inside the
// range counts, else the last position), steps by the first acceleration
// row, wraps or stops at the ends, and writes the position back with
// thousands separators.
void SpinArrows(Stage& stage) {
  struct Case {
    int spin;
    const char* typed;
    int steps;
    const char* want;
  };
  const Case cases[] = {
      {kSpin, "57", 1, "2"},      {kSpin, "3", -1, "58"},    {kSpin, "abc", 1, "3"},       {kSpin, "", 1, "5"},
      {kSpin, " 7", 1, "12"},     {kSpin, "1,0", 1, "15"},   {kSpin, "70", 2, "25"},       {kSpin, "7 ", -1, "20"},
      {kFixedSpin, "1", 1, "0"},  {kFixedSpin, "0", 1, "0"}, {kFixedSpin, "22", -1, "23"}, {kFixedSpin, "23", -3, "23"},
      {kFixedSpin, "+5", 2, "3"},
  };
  Log log;
  Probe d(Form("spin"), log);
  d.on_init = [](Probe& self) {
    ui::HostWindow& w = *self.Window();
    w.SetSpinRange(kSpin, 0, 59);
    w.SetSpinAccel(kSpin, {{0, 5}, {2, 10}});
    w.SetSpinRange(kFixedSpin, 23, 0);  // reversed: up counts down
  };
  d.on_command = [](Probe& self, int id) {
    if (id == kAction) self.Window()->SetSpinRange(kFixedSpin, 0, 2000);
    return id == kAction;
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    for (const Case& c : cases) {
      const int field = c.spin == kSpin ? kCount : kFixed;
      EXPECT_TRUE(u.Type(w, field, c.typed));
      EXPECT_TRUE(u.Spin(w, c.spin, c.steps));
      EXPECT_EQ(u.Text(w, field), c.want) << "'" << c.typed << "' " << c.steps;
    }
    EXPECT_TRUE(u.Click(w, kAction));
    EXPECT_TRUE(u.Type(w, kFixed, "999"));
    EXPECT_TRUE(u.Spin(w, kFixedSpin, 1));
    EXPECT_EQ(u.Text(w, kFixed), "1,000");
    EXPECT_TRUE(u.Spin(w, kFixedSpin, 1));
    EXPECT_EQ(u.Text(w, kFixed), "1,001") << "read back through its separator";
    EXPECT_TRUE(u.PressEsc(w));
  });
}

// Enter sends the focused push button's command, else the default
// button's; Esc and the close request are Cancel, which a program that
// handles it itself can refuse.
void Keyboard(Stage& stage) {
  Log log;
  Probe d(Form("keyboard"), log);
  int cancels = 0;
  d.on_command = [&](Probe&, int id) { return id != ui::kIdCancel || ++cancels < 2; };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(u.PressEnter(w));
    EXPECT_TRUE(u.FocusOn(w, kOther));
    EXPECT_TRUE(u.PressEnter(w));
    EXPECT_TRUE(u.FocusOn(w, kFirst));
    EXPECT_TRUE(u.PressEnter(w));
    EXPECT_TRUE(u.PressEsc(w));
    EXPECT_TRUE(u.Close(w));
  });
  EXPECT_EQ(log.Events(),
            (Events{"init", "show", "cmd 117", "notify 100 kill", "cmd 116", "cmd 117", "cmd 2", "cmd 2", "destroy"}));
}

// Alt and a letter act as a click on the control whose text marks it: the
// focus goes there, a push button is pressed, a check box toggles, a label
// hands the focus to the field after it. (Enter on the focused push button
// is the keyboard scenario's: after a mnemonic, Wine sends Enter to the
// default button instead, where Windows' keyboard rules name the focused one.)
void Mnemonics(Stage& stage) {
  Log log;
  ui::DialogTemplate t{901, 20, 30, 160, 60, kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont, "mnemonics",
                       "ＭＳ Ｐゴシック", 9, {}};
  const std::uint32_t v = kVisible;
  t.controls = {
      {ui::kIdStatic, ControlClass::Static, "ｻｰﾊﾞ名(&N)", 4, 4, 44, 8, v},
      {kName, ControlClass::Edit, "", 4, 14, 60, 12, v | kBorder | kTabStop | kGroup | kEsAutoHScroll},
      {kAgree, ControlClass::Button, "ﾛｸﾞﾌｧｲﾙ &L", 4, 30, 60, 10, v | kBsAutoCheckBox | kTabStop},
      {kDefault, ControlClass::Button, "調整 &J", 110, 4, 40, 14, v | kBsDefPushButton | kTabStop},
      {kAction, ControlClass::Button, "ﾁｪｯｸ &C", 110, 20, 40, 14, v | kBsPushButton | kTabStop},
      {ui::kIdCancel, ControlClass::Button, "閉じる &X", 110, 36, 40, 14, v | kBsPushButton | kTabStop},
  };
  Probe d(t, log);
  std::vector<int> focus;
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(u.PressMnemonic(w, 'c'));
    focus.push_back(u.Focused(w));
    EXPECT_TRUE(u.PressMnemonic(w, 'l'));
    focus.push_back(u.Focused(w));
    EXPECT_EQ(u.Check(w, kAgree), 1);
    EXPECT_TRUE(u.PressEnter(w));
    EXPECT_TRUE(u.PressMnemonic(w, 'n'));
    focus.push_back(u.Focused(w));
    EXPECT_TRUE(u.PressMnemonic(w, 'x'));
  });
  EXPECT_EQ(focus, (std::vector<int>{kAction, kAgree, kName}));
  EXPECT_EQ(log.Events(), (Events{"init", "show", "notify 100 kill", "cmd 115", "cmd 102", "cmd 117",
                                  "notify 100 kill", "cmd 2", "destroy"}));
}

// What a handler throws stays inside: the event is dropped and the dialog
// goes on; nothing is left behind after the run.
void ThrowingHandlers(Stage& stage) {
  Log log;
  Probe d(Form("throws"), log);
  WindowId id = 0;
  d.on_init = [&](Probe& self) {
    id = self.Id();
    self.Window()->SetTimer(3, 100);
    ui::CurrentHost().Post(self.Id(), kMsg, 9, 0);
    throw std::runtime_error("init");
  };
  d.on_message = [](Probe&, unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t { throw 9; };
  d.on_timer = [](Probe&, std::uintptr_t) { throw std::logic_error("tick"); };
  d.on_command = [](Probe&, int cmd) {
    if (cmd == kAction) throw std::runtime_error("command");
    return false;
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_EQ(u.Focused(w), kName) << "initialisation still gave the default focus";
    EXPECT_TRUE(u.Click(w, kAction));
    u.Pass(300);
    EXPECT_GE(log.Ticks(3), 1);
    EXPECT_TRUE(u.Click(w, ui::kIdCancel));
  });
  EXPECT_EQ(log.Events(), (Events{"init", "msg 9", "show", "notify 100 kill", "cmd 115", "cmd 2", "destroy"}));
  EXPECT_FALSE(ui::CurrentHost().WindowExists(id));
}

// A sorted combo box inserts by the system's word sort, ignoring case.
void SortedItems(Stage& stage) {
  Log log;
  Probe d(Form("sorted"), log);
  std::vector<int> at;
  std::vector<std::string> items;
  d.on_init = [&](Probe& self) {
    for (const char* s :
         {"ntp.b.jp", "NTP.a.jp", "ntp-a.jp", "ntp_a.jp", "ntpa.jp", "ntp.a.jp", "127.0.0.1", "10.0.0", "Zeta",
          "zeta",     "alpha",    "_x",       "-x",       "~x",      "時刻",     "ｼﾞｺｸ",      "a b",      "ab",
          "a.b",      "a-b",      "a'b",      "A1",       "a10",     "a2",       "",          "カナ",     "かな",
          "ｶﾅ",       "ａｂ",     "Ａ",       "é",        "e",       "f",        "Ω"})
      at.push_back(self.Window()->AddItem(kSorted, s));
    items = self.Window()->Items(kSorted);
    self.EndDialog(1);
  };
  stage.Play([](User&) {}, [&] { EXPECT_EQ(d.DoModal(), 1); });
  EXPECT_EQ(at, (std::vector<int>{0, 0, 2, 2, 3, 0, 0, 0, 8,  8,  2,  0,  10, 1,  14, 14, 4,
                                  5, 5, 7, 7, 6, 7, 8, 0, 23, 24, 23, 13, 5,  16, 16, 18, 28}));
  EXPECT_EQ(items, (std::vector<std::string>{
                       "",     "_x",       "~x",       "10.0.0",   "127.0.0.1", "Ａ",      "a b",      "a.b", "A1",
                       "a10",  "a2",       "ab",       "a'b",      "a-b",       "ａｂ",    "alpha",    "e",   "é",
                       "f",    "ntp.a.jp", "NTP.a.jp", "ntp.b.jp", "ntp_a.jp",  "ntpa.jp", "ntp-a.jp", "-x",  "zeta",
                       "Zeta", "Ω",        "ｶﾅ",       "カナ",     "かな",      "ｼﾞｺｸ",    "時刻"}));
}

// How each ending maps to the modal result; only OK reads the controls.
void Endings(Stage& stage) {
  struct Case {
    const char* name;
    std::function<bool(User&, WindowId)> act;
    int result;
    int reads;
  };
  const Case cases[] = {
      {"OK button", [](User& u, WindowId w) { return u.Click(w, ui::kIdOk); }, 1, 1},
      {"Enter on OK",
       [](User& u, WindowId w) {
         const bool focused = u.FocusOn(w, ui::kIdOk);
         EXPECT_EQ(u.Focused(w), ui::kIdOk);
         return focused && u.PressEnter(w);
       },
       1, 1},
      {"Cancel button", [](User& u, WindowId w) { return u.Click(w, ui::kIdCancel); }, 2, 0},
      {"Esc", [](User& u, WindowId w) { return u.PressEsc(w); }, 2, 0},
      {"close request", [](User& u, WindowId w) { return u.Close(w); }, 2, 0},
      {"system menu", [](User& u, WindowId w) { return u.SystemCommand(w, ui::kScClose); }, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    Probe d(Form(std::string("ending ") + c.name), log);
    int reads = 0;
    d.exchange = [&](ui::DataExchange& dx) { reads += dx.saving() ? 1 : 0; };
    PlayForm(stage, d, c.result, [&](User& u, WindowId w) { EXPECT_TRUE(c.act(u, w)); });
    EXPECT_EQ(reads, c.reads);
    EXPECT_EQ(d.Window(), nullptr) << "detached after the run";
  }
}

// Window timers: independent by id, a non-zero result when set (id 0 too),
// no tick after KillTimer, a second kill fails, an ended dialog starts none.
void Timers(Stage& stage) {
  Log log;
  Probe d(Form("timers"), log);
  d.on_init = [](Probe& self) {
    std::string set = "set";
    for (auto [id, ms] : {std::pair<std::uintptr_t, unsigned>{7, 10}, {9, 40}, {0, 15}})
      set += self.Window()->SetTimer(id, ms) != 0 ? " ok" : " failed";
    self.Note(set);
  };
  d.on_timer = [&](Probe& self, std::uintptr_t id) {
    if (id == 7 && log.Ticks(7) == 5) {
      const bool first = self.Window()->KillTimer(7), second = self.Window()->KillTimer(7);
      self.Note("killed " + std::to_string(first) + " " + std::to_string(second));
    }
    if (id == 9 && log.Ticks(9) == 6) {
      self.Note("ticks of 7 at the end " + std::to_string(log.Ticks(7)) + ", of 0 some " +
                std::to_string(log.Ticks(0) > 0));
      self.EndDialog(1);
      self.Note("set after the end " + std::to_string(self.Window()->SetTimer(3, 10)));
    }
  };
  stage.Play([&](User& u) { u.Pass(600); }, [&] { EXPECT_EQ(d.DoModal(), 1); });
  EXPECT_EQ(log.Events(), (Events{"init", "set ok ok ok", "show", "killed 1 0", "ticks of 7 at the end 5, of 0 some 1",
                                  "set after the end 0", "destroy"}));
  EXPECT_EQ(log.Ticks(3), 0);
}

// Posts from another thread arrive in order; Send returns the handler's
// value; a closed window, no window and the broadcast address take none.
void PostsAndSends(Stage& stage) {
  Log log;
  Probe d(Form("posts"), log);
  constexpr unsigned kBulk = ui::kWmUser + 101;
  constexpr int kCount = 200;
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> got;
  std::thread worker;
  bool posted_all = true;
  d.on_show = [&](Probe& self) {
    self.Note("sent " + std::to_string(ui::CurrentHost().Send(self.Id(), ui::kWmUser + 5, 20, 22)));
    worker = std::thread([&, window = self.Id()] {
      for (int i = 0; i < kCount; ++i)
        posted_all = ui::CurrentHost().Post(window, kBulk, static_cast<std::uintptr_t>(i), -i) && posted_all;
    });
  };
  d.on_message = [&](Probe& self, unsigned msg, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t {
    if (msg == ui::kWmUser + 5) return static_cast<std::intptr_t>(wp) + lp;
    if (msg != kBulk) return 0;
    got.emplace_back(wp, lp);
    if (got.size() == kCount) self.EndDialog(1);
    return 0;
  };
  stage.Play([&](User&) { EXPECT_TRUE(log.WaitFor("destroy")); }, [&] { EXPECT_EQ(d.DoModal(), 1); });
  worker.join();
  EXPECT_TRUE(posted_all);
  ASSERT_EQ(got.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) EXPECT_EQ(got[i], (std::pair<std::uintptr_t, std::intptr_t>(i, -i)));
  EXPECT_EQ(log.Events(), (Events{"init", "show", "sent 42", "destroy"}));
  ui::Host& host = ui::CurrentHost();
  EXPECT_FALSE(host.Post(d.Id(), kMsg, 0, 0)) << "detached: no window";
  EXPECT_FALSE(host.Post(0, kMsg, 0, 0)) << "no window is not this thread's queue";
  EXPECT_FALSE(host.Post(0xFFFF, kMsg, 0, 0)) << "never a broadcast";
}

// Once a dialog has ended, late posts, commands, close requests, sends and
// ticks find nobody, even while a message box keeps the loop going.
void AfterTheEnd(Stage& stage) {
  Log log;
  Probe d(Form("late"), log);
  d.on_show = [](Probe& self) {
    self.Window()->SetTimer(4, 10);
    self.EndDialog(1);
    ui::Host& host = ui::CurrentHost();
    host.Post(self.Id(), kMsg, 1, 0);
    host.Post(self.Id(), ui::kWmCommand, kAction, 0);
    host.Post(self.Id(), ui::kWmClose, 0, 0);
    self.Note("sent " + std::to_string(host.Send(self.Id(), kMsg, 2, 0)));
    ui::ShowMessage("after the end");
  };
  d.on_message = [](Probe&, unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 5; };
  stage.Play(
      [&](User& u) {
        const WindowId box = u.WaitBox("after the end");
        ASSERT_NE(box, 0);
        u.Pass(100);
        EXPECT_TRUE(u.Click(box, ui::kIdOk));
      },
      [&] { EXPECT_EQ(d.DoModal(), 1); });
  EXPECT_EQ(log.Events(), (Events{"init", "show", "sent 0", "destroy"}));
  EXPECT_EQ(log.Ticks(4), 0);
}

// A dialog opened from the owner's timer: the owner is disabled and deaf
// while it runs, its timers tick on, and the innermost dialog is the
// active one.
void NestedFromATimer(Stage& stage) {
  Log log;
  Probe outer(Form("timed outer"), log, "outer"), inner(Form("timed inner"), log, "inner");
  outer.on_init = [](Probe& self) {
    self.Window()->SetTimer(5, 30);  // opens the inner dialog once
    self.Window()->SetTimer(6, 10);  // keeps ticking under it
  };
  outer.on_timer = [&](Probe& self, std::uintptr_t id) {
    if (id != 5) return;
    self.Window()->KillTimer(5);
    self.Note("inner result " + std::to_string(inner.DoModal()));
    self.Note("active is outer " + std::to_string(ui::CurrentHost().ActiveWindow() == self.Id()));
  };
  inner.on_init = [](Probe& self) {
    self.Note("active is inner " + std::to_string(ui::CurrentHost().ActiveWindow() == self.Id()));
  };
  stage.Play(
      [&](User& u) {
        const WindowId o = u.WaitWindow("timed outer");
        u.Pass(100);  // the outer timer opens the inner dialog
        const WindowId i = u.WaitWindow("timed inner");
        ASSERT_NE(o, 0);
        ASSERT_NE(i, 0);
        EXPECT_EQ(u.Owner(i), o) << "owned by the active dialog";
        EXPECT_FALSE(u.IsEnabled(o));
        EXPECT_FALSE(u.Click(o, kAction));
        const int before = log.Ticks(6);
        u.Pass(300);
        EXPECT_GE(log.Ticks(6) - before, 5) << "the inner loop ticks the outer timer";
        EXPECT_TRUE(u.Click(i, ui::kIdOk));
        EXPECT_TRUE(u.WaitGone(i));
        EXPECT_TRUE(u.IsEnabled(o));
        EXPECT_TRUE(u.Click(o, ui::kIdCancel));
      },
      [&] { EXPECT_EQ(outer.DoModal(), 2); });
  EXPECT_EQ(log.Events(), (Events{"outer init", "outer show", "inner init", "inner active is inner 1", "inner show",
                                  "inner notify 100 kill", "inner cmd 1", "inner destroy", "outer inner result 1",
                                  "outer active is outer 1", "outer notify 100 kill", "outer cmd 2", "outer destroy"}));
}

// A field that fails its check stops the read there (earlier fields keep
// their new values, later ones are not read), shows the program's text for
// it in a box it owns (captioned as any: MessageBoxLoop), and takes the
// focus; the dialog stays open.
void FailedField(Stage& stage) {
  Log log;
  Probe d(Form("failed field"), log);
  int first = 3, count = 2, agree = 0;
  std::string name = "東京";
  d.exchange = [&](ui::DataExchange& dx) {
    dx.IntRange(kFirst, first, 1, 10);
    dx.Text(kName, name);
    dx.IntRange(kCount, count, 0, 5);
    dx.Check(kAgree, agree);
  };
  d.on_command = [&](Probe& self, int id) {
    if (id != ui::kIdOk) return false;
    const bool read = self.UpdateData(true);
    self.Note("read " + std::to_string(read) + ": " + std::to_string(first) + " " + name + " " + std::to_string(count) +
              " " + std::to_string(agree));
    if (read) self.EndDialog(1);
    return true;
  };
  struct Round {
    const char* first;
    const char* count;
    const char* message;
    int focus;
  };
  const Round rounds[] = {
      {"abc", "1", "整数を入力してください。", kFirst},
      {" 7 ", "9", "0 から 5 までの整数を入力してください。", kCount},
      {"7", "-1x", "整数を入力してください。", kCount},
  };
  PlayForm(stage, d, 1, [&](User& u, WindowId w) {
    EXPECT_EQ(u.Text(w, kName), "東京");
    EXPECT_TRUE(u.Type(w, kName, "大阪"));
    for (const Round& r : rounds) {
      SCOPED_TRACE(r.message);
      EXPECT_TRUE(u.Type(w, kFirst, r.first));
      EXPECT_TRUE(u.Type(w, kCount, r.count));
      EXPECT_TRUE(u.Click(w, kAgree));
      EXPECT_TRUE(u.Click(w, ui::kIdOk));
      const WindowId box = u.WaitBox(r.message);
      ASSERT_NE(box, 0);
      EXPECT_EQ(u.Owner(box), w);
      EXPECT_TRUE(u.Click(box, ui::kIdOk));
      EXPECT_TRUE(u.WaitGone(box));
      EXPECT_EQ(u.Focused(w), r.focus);
    }
    EXPECT_TRUE(u.Type(w, kCount, "5"));
    EXPECT_TRUE(u.Click(w, ui::kIdOk));
  });
  Events reads;
  for (const std::string& e : log.Events())
    if (e.rfind("read", 0) == 0) reads.push_back(e);
  EXPECT_EQ(reads, (Events{"read 0: 3 東京 2 0", "read 0: 7 大阪 2 0", "read 0: 7 大阪 2 0", "read 1: 7 大阪 5 1"}));
}

// A list box: the text is the selected item; setting a text selects the
// item with exactly that text (ignoring case) or nothing; a pick by the
// user reports the change (the list has the notify style).
void ListBox(Stage& stage) {
  Log log;
  Probe d(Form("list box"), log);
  d.on_init = [](Probe& self) {
    ui::HostWindow& w = *self.Window();
    for (const char* s : {"ntp.example", "時刻サーバー", "127.0.0.1"}) w.AddItem(kListBox, s);
    std::string seen = std::to_string(w.Selection(kListBox));
    w.Select(kListBox, 1);
    seen += " " + std::to_string(w.Selection(kListBox)) + " " + w.Text(kListBox);
    w.SetText(kListBox, "NTP.EXAMPLE");
    seen += " " + std::to_string(w.Selection(kListBox));
    w.SetText(kListBox, "no such item");
    seen += " " + std::to_string(w.Selection(kListBox)) + " '" + w.Text(kListBox) + "'";
    w.Select(kListBox, 7);
    seen += " " + std::to_string(w.Selection(kListBox));
    self.Note(seen);
  };
  d.on_command = [](Probe& self, int id) {
    if (id != kAction) return false;
    ui::HostWindow& w = *self.Window();
    self.Note("picked " + w.Text(kListBox));
    w.ClearItems(kListBox);
    self.Note("cleared " + std::to_string(w.Items(kListBox).size()) + " " + std::to_string(w.Selection(kListBox)));
    return true;
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(u.Choose(w, kListBox, 2));
    EXPECT_TRUE(u.Click(w, kAction));
    EXPECT_FALSE(u.Choose(w, kListBox, 0)) << "nothing left to pick";
    EXPECT_TRUE(u.PressEsc(w));
  });
  EXPECT_EQ(log.Events(), (Events{"init", "-1 1 時刻サーバー 0 -1 '' -1", "show", "notify 100 kill", "notify 119 sel",
                                  "cmd 115", "picked 127.0.0.1", "cleared 0 -1", "cmd 2", "destroy"}));
}

// Icons of the program's table on the window and on buttons; an id the
// table lacks shows none.
void Icons(Stage& stage) {
  const ui::IconTable table = {{100, ui::ClockIcon(ui::ClockArt::kDial)}};
  ui::SetIconTable(&table);
  Log log;
  Probe d(Form("icons"), log);
  d.on_init = [](Probe& self) {
    self.Window()->SetIcon(100);
    self.Window()->SetButtonIcon(kAction, 100);
    self.Window()->SetButtonIcon(kOther, 4242);
  };
  PlayForm(stage, d, 2, [&](User& u, WindowId w) {
    EXPECT_TRUE(u.ShowsIcon(w, 0));
    EXPECT_TRUE(u.ShowsIcon(w, kAction));
    EXPECT_FALSE(u.ShowsIcon(w, kOther));
    EXPECT_FALSE(u.ShowsIcon(w, kDefault));
    EXPECT_TRUE(u.PressEsc(w));
  });
  ui::SetIconTable(nullptr);
}

}  // namespace

const std::vector<Scenario>& AllScenarios() {
  static const std::vector<Scenario> all = {
      {"ShowOrder", ShowOrder},
      {"MessageBoxLoop", MessageBoxLoop},
      {"RunnerFromPostedMessage", RunnerFromPostedMessage},
      {"RunnerEndings", RunnerEndings},
      {"ControlStatesAndTexts", ControlStatesAndTexts},
      {"ExchangeBothWays", ExchangeBothWays},
      {"ButtonClicks", ButtonClicks},
      {"Notifications", Notifications},
      {"SystemMenu", SystemMenu},
      {"Placement", Placement},
      {"MinimisedAtFirstShow", MinimisedAtFirstShow},
      {"WindowServices", WindowServices},
      {"SpinArrows", SpinArrows},
      {"Keyboard", Keyboard},
      {"Mnemonics", Mnemonics},
      {"ThrowingHandlers", ThrowingHandlers},
      {"SortedItems", SortedItems},
      {"Endings", Endings},
      {"Timers", Timers},
      {"PostsAndSends", PostsAndSends},
      {"AfterTheEnd", AfterTheEnd},
      {"NestedFromATimer", NestedFromATimer},
      {"FailedField", FailedField},
      {"ListBox", ListBox},
      {"Icons", Icons},
  };
  return all;
}

}  // namespace qv::scenario
