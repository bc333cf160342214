// Posts from other threads beyond what the toolkit's own wake-up queue
// holds and a send from one; message boxes as the user meets them (a
// worker's included).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fltk_test_support.h"
#include "hosts/fltk/message_box.h"
#include "ui/icon_paint.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

using namespace wintest;

TEST_F(HostTest, PostsFromAWorkerThreadArriveInOrder) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("posts");
  ScriptedDialog d(tmpl);
  constexpr unsigned kDone = ui::kWmUser + 100;
  constexpr int kCount = 2000;  // more than the toolkit's own wake-up queue holds
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> got;
  std::thread worker;
  std::intptr_t sent_from_worker = 0;
  bool posted_all = true;
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown || worker.joinable()) return;
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
  EXPECT_EQ(sent_from_worker, 3);
  ASSERT_EQ(got.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(got[i], (std::pair<std::uintptr_t, std::intptr_t>(i, -i)));
}

// (Owner, caption, Cancel and Esc: the MessageBoxLoop scenario.)
TEST_F(HostTest, MessageBoxesReturnTheButton) {
  Watchdog dog(std::chrono::seconds(60));
  struct Case {
    const char* text;
    int flags;
    const char* act;  // a key, or "click N"
    int result;
  };
  const Case cases[] = {
      {"Enter は OK", ui::kMbOkCancel | ui::kMbIconWarning, "Return", ui::kIdOkResult},
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

}  // namespace
}  // namespace qv::fltktest
