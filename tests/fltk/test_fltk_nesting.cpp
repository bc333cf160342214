// Posts from other threads beyond what the toolkit's own wake-up queue
// holds, message boxes as the user meets them (a worker's included), the
// query runner's countdown dialog on real windows.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fltk_test_support.h"
#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "hosts/fltk/message_box.h"
#include "runner/query_runner.h"
#include "settings/strings.h"
#include "ui/icon_paint.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

using namespace wintest;

constexpr const char* kExeName = "test_fltk_nesting";

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
      {"timer is not running", ui::kMbOk | ui::kMbIconWarning, "Escape", ui::kIdCancelResult},  // as Windows answers
      {"killtimer error", ui::kMbOk, "click 1", ui::kIdOkResult},
  };
  // A box shows the program's icon (the lowest-numbered, here one small
  // image), which it never sets itself.
  const ui::IconTable icons = {{7, {{{16, std::vector<std::uint32_t>(256, 0xFF2060C0u)}}}},
                               {9, ui::ClockIcon(ui::ClockArt::kDial)}};
  ui::SetIconTable(&icons);
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
      EXPECT_EQ(drv::ControlVisible(box, ui::fltk::kMessageIconId), (c.flags & 0xF0) == ui::kMbIconWarning) << c.text;
      EXPECT_EQ(drv::IconSizes(box), std::vector<int>{16});
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
  ui::SetIconTable(nullptr);
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
