// Window timers count elapsed time: the wall clock set an hour ahead fires
// no pending timer early, as Windows' timers do not. The clock is this
// process's view of it only, stepped through libfaketime (ctest runs the
// binary so); the machine's clock is never touched.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdlib>
#include <fstream>

#include "fltk_test_support.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

long long WallSeconds() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return tv.tv_sec;
}

TEST_F(HostTest, WindowTimersCountElapsedTimeNotTheWallClock) {
  const char* offset_file = std::getenv("QV_FAKETIME_OFFSET_FILE");
  ASSERT_NE(offset_file, nullptr) << "run through ctest: the clock is stepped through libfaketime";
  const auto step_to = [&](const char* offset) { std::ofstream(offset_file, std::ios::trunc) << offset << "\n"; };
  step_to("+0");
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = wintest::SmallTemplate("timers");
  ScriptedDialog d(tmpl);
  constexpr int kPaceTicks = 10;  // the loop's waits after the step, each a chance to fire early
  int pending_ticks = 0, pace = 0;
  long long before = 0, after = 0;
  d.on_init = [](ScriptedDialog& self) {
    self.Window()->SetTimer(1, 10 * 60 * 1000);
    self.Window()->SetTimer(2, 20);
  };
  d.on_timer = [&](ScriptedDialog& self, std::uintptr_t id) {
    if (id == 1) ++pending_ticks;
    if (id != 2) return;
    if (++pace == 1) {
      before = WallSeconds();
      step_to("+1h");
      after = WallSeconds();
    }
    if (pace == 1 + kPaceTicks) self.EndDialog(1);
  };
  EXPECT_EQ(d.DoModal(), 1);
  step_to("+0");
  EXPECT_GE(after - before, 3600) << "the wall clock this process reads was not set ahead";
  EXPECT_EQ(pending_ticks, 0) << "a ten-minute timer fired when the wall clock was set ahead";
}

}  // namespace
}  // namespace qv::fltktest
