// Modal runs nest and keep dispatching every window's timers and posted
// messages; posts come from other threads; Send returns the handler's value.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "test_templates.h"
#include "win_test_support.h"

namespace qv::wintest {
namespace {

namespace drv = ui::driver;

TEST_F(HostTest, DialogOpenedFromATimerNestsAndTheOuterKeepsTicking) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate outer_t = SmallTemplate("outer");
  const ui::DialogTemplate inner_t = SmallTemplate("inner");
  ScriptedDialog outer(outer_t);
  ScriptedDialog inner(inner_t);
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
    const ui::WindowId o = WaitForCaption("outer");
    const ui::WindowId i = WaitForCaption("inner");
    ASSERT_NE(o, 0);
    ASSERT_NE(i, 0);
    EXPECT_EQ(drv::OwnerOf(i), o);
    EXPECT_FALSE(drv::IsEnabled(o)) << "the owner is disabled while the inner run is up";
    const int before = outer_ticks.load();
    EXPECT_TRUE(WaitUntil([&] { return outer_ticks.load() >= before + 5; }))
        << "the inner modal loop dispatches the outer dialog's timer";
    drv::ClickButton(i, ui::kIdOk);
    ASSERT_TRUE(drv::WaitGone(i, 5000));
    EXPECT_TRUE(WaitUntil([&] { return drv::IsEnabled(o); }));
    drv::ClickButton(o, ui::kIdCancel);
  });
  EXPECT_EQ(outer.DoModal(), 2);
  EXPECT_EQ(inner_result, 1);
  EXPECT_EQ(inner_active, inner_id) << "the innermost dialog is the active one";
  EXPECT_NE(active_after, 0);
  EXPECT_NE(active_after, inner_id);
}

TEST_F(HostTest, PostsFromAWorkerThreadArriveInOrder) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("posts");
  ScriptedDialog d(tmpl);
  constexpr unsigned kDone = ui::kWmUser + 100;
  constexpr int kCount = 200;
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> got;
  std::thread worker;
  std::intptr_t sent = 0;
  bool posted_all = true;
  ui::WindowId id = 0;

  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown || worker.joinable()) return;
    id = self.Id();
    sent = ui::CurrentHost().Send(self.Id(), ui::kWmUser + 5, 20, 22);
    worker = std::thread([&, window = self.Id()] {
      for (int i = 0; i < kCount; ++i)
        posted_all = ui::CurrentHost().Post(window, kDone, static_cast<std::uintptr_t>(i), -i) && posted_all;
    });
  };
  d.on_message = [&](ScriptedDialog& self, unsigned msg, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t {
    if (msg == ui::kWmUser + 5) return static_cast<std::intptr_t>(wp) + lp;
    if (msg != kDone) return 0;
    got.emplace_back(wp, lp);
    if (got.size() == kCount) self.EndDialog(1);
    return 0;
  };
  EXPECT_EQ(d.DoModal(), 1);
  worker.join();
  EXPECT_TRUE(posted_all);
  EXPECT_EQ(sent, 42) << "Send returns the handler's value";
  ASSERT_EQ(got.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) EXPECT_EQ(got[i], (std::pair<std::uintptr_t, std::intptr_t>(i, -i)));
  EXPECT_FALSE(ui::CurrentHost().Post(id, kDone, 0, 0)) << "the window is gone";
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
    sent = ui::CurrentHost().Send(self.Id(), ui::kWmUser + 100, 0, 0);
    ui::ShowMessage("after the end");
  };
  d.on_message = [&](ScriptedDialog&, unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    ++after_end;
    return 5;
  };
  d.on_command = [&](ScriptedDialog&, int) {
    ++after_end;
    return true;
  };
  Driver driver([&] {
    const ui::WindowId box =
        ui::driver::WaitForDialog([](ui::WindowId w) { return BoxText(w) == "after the end"; }, 5000);
    ASSERT_NE(box, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the posts be dispatched
    drv::ClickButton(box, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(after_end, 0);
  EXPECT_EQ(sent, 0);
}

}  // namespace
}  // namespace qv::wintest
