// Modal runs nest and keep dispatching every window's timers and posted
// messages; posts come from other threads; message boxes as the user meets
// them; the query runner's countdown dialog on real windows.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fltk_test_support.h"
#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "platform/fltk/message_box.h"
#include "runner/query_runner.h"
#include "settings/strings.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

using namespace wintest;

constexpr const char* kExeName = "test_fltk_nesting";

TEST_F(HostTest, DialogOpenedFromATimerNestsAndTheOuterKeepsTicking) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate outer_t = SmallTemplate("outer");
  const ui::DialogTemplate inner_t = SmallTemplate("inner");
  ScriptedDialog outer(outer_t), inner(inner_t);
  std::atomic<int> outer_ticks{0};
  int inner_result = 0;
  ui::WindowId inner_active = 0, inner_id = 0, active_after = 0;
  inner.on_init = [&](ScriptedDialog& self) {
    inner_active = ui::CurrentHost().ActiveWindow();
    inner_id = self.Id();
  };
  outer.on_init = [&](ScriptedDialog& self) {
    self.Window()->SetTimer(5, 30);  // opens the inner dialog once
    self.Window()->SetTimer(6, 10);  // keeps ticking under the inner one
  };
  outer.on_timer = [&](ScriptedDialog& self, std::uintptr_t id) {
    if (id == 6) {
      ++outer_ticks;
      return;
    }
    self.Window()->KillTimer(5);
    inner_result = inner.DoModal();
    active_after = ui::CurrentHost().ActiveWindow();
  };
  Driver driver([&] {
    const ui::WindowId o = drv::WaitForCaption("outer");
    const ui::WindowId i = drv::WaitForCaption("inner");
    ASSERT_NE(o, 0);
    ASSERT_NE(i, 0);
    EXPECT_EQ(drv::OwnerOf(i), o);
    EXPECT_FALSE(drv::TakesInput(o)) << "the owner takes no input while the inner run is up";
    drv::Click(o, ui::kIdCancel);  // ignored: the outer is not the active window
    const int before = outer_ticks.load();
    EXPECT_TRUE(drv::WaitUntil([&] { return outer_ticks.load() >= before + 5; }))
        << "the inner modal loop dispatches the outer dialog's timer";
    drv::Click(i, ui::kIdOk);
    ASSERT_TRUE(drv::WaitGone(i));
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::TakesInput(o); }));
    drv::Keys(o, "Escape");
  });
  EXPECT_EQ(outer.DoModal(), 2);
  EXPECT_EQ(inner_result, 1);
  EXPECT_EQ(outer.commands, (std::vector<int>{ui::kIdCancel}));
  EXPECT_EQ(inner_active, inner_id) << "the innermost dialog is the active one";
  EXPECT_NE(active_after, 0);
  EXPECT_NE(active_after, inner_id);
}

TEST_F(HostTest, PostsFromAWorkerThreadArriveInOrder) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("posts");
  ScriptedDialog d(tmpl);
  constexpr unsigned kDone = ui::kWmUser + 100;
  constexpr int kCount = 2000;  // more than the toolkit's own wake-up queue holds
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> got;
  std::thread worker;
  std::intptr_t sent = 0, sent_from_worker = 0;
  bool posted_all = true;
  ui::WindowId id = 0;
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown || worker.joinable()) return;
    id = self.Id();
    sent = ui::CurrentHost().Send(self.Id(), ui::kWmUser + 5, 20, 22);
    worker = std::thread([&, window = self.Id()] {
      for (int i = 0; i < kCount; ++i)
        posted_all = ui::CurrentHost().Post(window, kDone, static_cast<std::uintptr_t>(i), -i) && posted_all;
      // A send from a worker runs on the UI thread, and waits for it.
      sent_from_worker = ui::CurrentHost().Send(window, ui::kWmUser + 5, 1, 2);
    });
  };
  d.on_message = [&](ScriptedDialog& self, unsigned msg, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t {
    if (msg == ui::kWmUser + 5) return static_cast<std::intptr_t>(wp) + lp;
    if (msg != kDone) return 0;
    got.emplace_back(wp, lp);
    if (got.size() == kCount) self.Window()->SetTimer(1, 200);  // lets the worker's send in first
    return 0;
  };
  d.on_timer = [&](ScriptedDialog& self, std::uintptr_t) { self.EndDialog(1); };
  EXPECT_EQ(d.DoModal(), 1);
  worker.join();
  EXPECT_TRUE(posted_all);
  EXPECT_EQ(sent, 42) << "Send returns the handler's value";
  EXPECT_EQ(sent_from_worker, 3);
  ASSERT_EQ(got.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(got[i], (std::pair<std::uintptr_t, std::intptr_t>(i, -i)));
  EXPECT_FALSE(ui::CurrentHost().Post(id, kDone, 0, 0)) << "the window is gone";
  EXPECT_FALSE(ui::CurrentHost().WindowExists(id));
  EXPECT_FALSE(ui::CurrentHost().Post(0, kDone, 0, 0)) << "no window is not this thread's queue";
  EXPECT_FALSE(ui::CurrentHost().Post(0xFFFF, kDone, 0, 0)) << "never a broadcast";
}

TEST_F(HostTest, MessagesAfterTheEndReachNobody) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("late");
  ScriptedDialog d(tmpl);
  int after_end = 0;
  bool ended = false;
  std::intptr_t sent = -1;
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown || ended) return;
    ended = true;
    self.EndDialog(1);
    // The message box's loop dispatches these while the ended dialog still
    // exists; none of them may reach it.
    ui::CurrentHost().Post(self.Id(), ui::kWmUser + 100, 0, 0);
    ui::CurrentHost().Post(self.Id(), ui::kWmCommand, 1033, 0);
    ui::CurrentHost().Post(self.Id(), ui::kWmClose, 0, 0);
    self.Window()->SetTimer(4, 10);
    sent = ui::CurrentHost().Send(self.Id(), ui::kWmUser + 100, 0, 0);
    ui::ShowMessage("after the end");
  };
  d.on_message = [&](ScriptedDialog&, unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    ++after_end;
    return 5;
  };
  d.on_command = [&](ScriptedDialog&, int) { return ++after_end, true; };
  d.on_timer = [&](ScriptedDialog&, std::uintptr_t) { ++after_end; };
  Driver driver([&] {
    const ui::WindowId box =
        drv::WaitForDialog([](ui::WindowId w) { return drv::ControlText(w, ui::fltk::kMessageTextId) == "after the end"; });
    ASSERT_NE(box, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the posts be dispatched
    drv::Click(box, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(after_end, 0);
  EXPECT_EQ(sent, 0);
}

// Exchanges a name and two bounded integers with the form; OK reads.
class FormDialog : public ScriptedDialog {
 public:
  explicit FormDialog(const ui::DialogTemplate& t) : ScriptedDialog(t) {
    exchange = [this](ui::DataExchange& dx) {
      dx.Text(kName, name);
      dx.IntRange(kFirst, first, 1, 10);
      dx.IntRange(kSecond, second, 0, 5);
    };
    on_command = [this](ScriptedDialog& self, int id) {
      if (id != ui::kIdOk) return false;
      if (self.UpdateData(true)) self.EndDialog(ui::kIdOkResult);
      ++attempts;
      return true;
    };
  }
  std::string name = "東京";
  int first = 3, second = 4;
  std::atomic<int> attempts{0};
};

TEST_F(HostTest, ExchangeStopsAtTheFirstBadFieldWithABoxAndTheFocus) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = FormTemplate();
  FormDialog d(tmpl);
  struct Round {
    const char* first;
    const char* second;
    const char* message;
    int focus;
  };
  const Round bad[] = {
      {"abc", "4", "整数を入力してください。", kFirst},
      {"7", "9", "0 から 5 までの整数を入力してください。", kSecond},
  };
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    int round = 0;
    for (const Round& r : bad) {
      SCOPED_TRACE(r.message);
      drv::Click(w, kFirst);
      drv::Keys(w, "ctrl+a BackSpace");
      drv::Type(w, r.first);
      drv::Click(w, kSecond);
      drv::Keys(w, "ctrl+a BackSpace");
      drv::Type(w, r.second);
      drv::Click(w, ui::kIdOk);
      const ui::WindowId box = drv::WaitForDialog([&](ui::WindowId b) { return drv::OwnerOf(b) == w; });
      ASSERT_NE(box, 0);
      EXPECT_EQ(drv::Caption(box), kExeName);
      EXPECT_EQ(drv::ControlText(box, ui::fltk::kMessageTextId), r.message);
      EXPECT_FALSE(drv::TakesInput(w)) << "the box is modal to the dialog";
      drv::Keys(box, "Return");
      ASSERT_TRUE(drv::WaitGone(box));
      ++round;
      ASSERT_TRUE(drv::WaitUntil([&] { return d.attempts == round; }));
      EXPECT_TRUE(drv::WaitUntil([&] { return drv::FocusedControl(w) == r.focus; }));
    }
    // The failed field has its text selected: typing replaces it.
    drv::Type(w, "5");
    drv::Click(w, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(d.attempts, 3);
  EXPECT_EQ(std::make_tuple(d.name, d.first, d.second), std::make_tuple(std::string("東京"), 7, 5));
}

TEST_F(HostTest, MessageBoxesReturnTheButtonAndCarryTheExeName) {
  Watchdog dog(std::chrono::seconds(60));
  struct Case {
    const char* text;
    int flags;
    const char* act;  // a key, or "click N"
    int result;
  };
  const Case cases[] = {
      {"続けますか?", ui::kMbOkCancel | ui::kMbIconWarning, "click 2", ui::kIdCancelResult},
      {"OK か キャンセル", ui::kMbOkCancel, "Escape", ui::kIdCancelResult},
      {"Enter は OK", ui::kMbOkCancel | ui::kMbIconWarning, "Return", ui::kIdOkResult},
      {"timer is not running", ui::kMbOk | ui::kMbIconWarning, "Escape", ui::kIdOkResult},
      {"killtimer error", ui::kMbOk, "click 1", ui::kIdOkResult},
  };
  const ui::DialogTemplate tmpl = SmallTemplate("boxes");
  ScriptedDialog d(tmpl);
  std::vector<int> answers;
  int from_worker = 0;
  std::thread worker;
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    for (const Case& c : cases) answers.push_back(ui::ShowMessage(c.text, c.flags));
    // A worker's box is shown by the UI thread's loop; the worker waits.
    worker = std::thread([&, window = self.Id()] {
      from_worker = ui::ShowMessage("from a worker", ui::kMbOkCancel);
      ui::CurrentHost().Post(window, ui::kWmUser + 9, 0, 0);
    });
  };
  d.on_message = [&](ScriptedDialog& self, unsigned msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    if (msg == ui::kWmUser + 9) self.EndDialog(1);
    return 0;
  };
  Driver driver([&] {
    for (const Case& c : cases) {
      const ui::WindowId box = drv::WaitForDialog(
          [&](ui::WindowId w) { return drv::ControlText(w, ui::fltk::kMessageTextId) == c.text; });
      ASSERT_NE(box, 0) << c.text;
      EXPECT_EQ(drv::Caption(box), kExeName);
      EXPECT_EQ(drv::Caption(drv::OwnerOf(box)), "boxes") << "owned by the running dialog";
      EXPECT_EQ(drv::ControlVisible(box, ui::kIdCancel), (c.flags & 0xF) == ui::kMbOkCancel) << c.text;
      const std::string act = c.act;
      if (act.rfind("click ", 0) == 0)
        drv::Click(box, std::stoi(act.substr(6)));
      else
        drv::Keys(box, act);
      ASSERT_TRUE(drv::WaitGone(box)) << c.text;
    }
    const ui::WindowId box = drv::WaitForDialog(
        [&](ui::WindowId w) { return drv::ControlText(w, ui::fltk::kMessageTextId) == "from a worker"; });
    ASSERT_NE(box, 0);
    drv::Click(box, ui::kIdCancel);
  });
  EXPECT_EQ(d.DoModal(), 1);
  worker.join();
  std::vector<int> want;
  for (const Case& c : cases) want.push_back(c.result);
  EXPECT_EQ(answers, want);
  EXPECT_EQ(from_worker, ui::kIdCancelResult);
}

// The runner's countdown dialog, both variants, on real windows: the worker
// posts its done message from its own thread; Cancel is a click.
TEST_F(HostTest, QueryRunnerEndsOnTheWorkersMessageOrACancelClick) {
  Watchdog dog(std::chrono::seconds(60));
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
    std::string countdown;
    Driver driver([&] {
      const ui::WindowId w = drv::WaitForCaption(c.caption);
      ASSERT_NE(w, 0);
      EXPECT_EQ(drv::ControlText(w, runner::kIdServerText), "ntp.example.jp");
      EXPECT_TRUE(drv::WaitUntil([&] { return drv::ControlText(w, runner::kIdCountdown) == "19"; }))
          << "a tick a second";
      EXPECT_EQ(drv::FocusedControl(w), ui::kIdCancel) << "the only control that takes the focus";
      if (c.cancel)
        drv::Click(w, ui::kIdCancel);
      else
        release = true;
    });
    EXPECT_EQ(dialog.Run(job), c.result);
    EXPECT_EQ(dialog.reply().stage, c.stage);
    EXPECT_EQ(dialog.reply().error_code, c.error_code);
    release = true;
    EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(10)));
  }
}

}  // namespace
}  // namespace qv::fltktest
