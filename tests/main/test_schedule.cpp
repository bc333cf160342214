// The schedule without a dialog: the daily arithmetic, retry intervals and
// texts, ticks put off while a cycle runs, and timers that cannot start (the
// retry series runs through the dialog in test_main_cycle.cpp).
#include <gtest/gtest.h>

#include <map>

#include "main/schedule.h"

namespace qv::main {
namespace {

TEST(DailyWait, NextMomentFromTheWallClock) {
  struct Row {
    int now, hour, minute, wait;
  } rows[] = {
      {7 * 3600, 7, 30, 1800},
      {8 * 3600, 7, 30, 84600},
      {7 * 3600 + 30 * 60, 7, 30, 86400},  // now is tomorrow's
      {23 * 3600 + 59 * 60 + 59, 0, 0, 1},
      {7 * 3600 + 30 * 60 + 5, 7, 30, 86395},  // a cycle that took 5 s
  };
  for (const Row& r : rows) EXPECT_EQ(DailyWaitSeconds(r.now, r.hour, r.minute), r.wait) << r.now;
}

TEST(RetrySettings, IntervalsAndTexts) {
  struct Row {
    int value, unit;
    std::optional<std::uint32_t> ms;
    const char* text;
  } rows[] = {
      {10, 0, 10000, "10s"},         {5, 1, 300000, "5m"},     {1, 2, 3600000, "1h"},
      {10, 7, 10000, "10"},          {0, 0, 0, "0s"},          {-1, 0, std::nullopt, "-1s"},
      {1000000, 2, kMaxTimerMs, "1000000h"},  // beyond a window timer: its longest period
  };
  for (const Row& r : rows) {
    EXPECT_EQ(RetryIntervalMs(r.value, r.unit), r.ms) << r.text;
    EXPECT_EQ(RetryIntervalText(r.value, r.unit), r.text);
  }
  EXPECT_EQ(RetryCountText(3), "3回");
  EXPECT_EQ(RetryProgressText(true, 1, 3), "1/3");
  EXPECT_EQ(RetryProgressText(true, 4, 3), "3回");
  EXPECT_EQ(RetryProgressText(false, 1, 3), "3回");
}

class FakeTimers : public TimerPort {
 public:
  bool StartTimer(std::uintptr_t id, std::uint32_t ms) override {
    if (fail) return false;
    running[id] = ms;
    return true;
  }
  bool StopTimer(std::uintptr_t id) override { return running.erase(id) == 1; }
  std::map<std::uintptr_t, std::uint32_t> running;
  bool fail = false;
};

TEST(Schedule, TicksDuringACycleAreDeferred) {
  // New settings meanwhile (StopAll) drop the put-off retry, not the daily
  // tick; whether daily adjustment then stays on is the dialog's test
  // (DailyTickDuringACycleWaitsForItsEnd).
  for (const bool stop_all : {false, true}) {
    FakeTimers timers;
    Schedule s(timers);
    s.SetRetry(true, 3, 10, 0);
    s.SetDaily(true, 7, 30);
    s.ArmDaily(7 * 3600);
    s.MarkManual();
    s.BeginCycle();
    s.EndCycle(false);  // the retry timer runs
    s.EnterCycle();     // a check's runner is up
    EXPECT_EQ(s.OnTick(kRetryTimer), Schedule::Action::kNone);
    EXPECT_EQ(s.OnTick(kDailyTimer), Schedule::Action::kNone);
    EXPECT_EQ(s.OnTick(kClockTimer), Schedule::Action::kShowClock);
    EXPECT_TRUE(timers.running.empty()) << "put-off ticks do not tick on";
    EXPECT_EQ(s.TakeDeferred(), Schedule::Action::kNone) << "not while the cycle runs";
    if (stop_all) s.StopAll();
    s.LeaveCycle();
    EXPECT_EQ(s.TakeDeferred(), Schedule::Action::kDailyCycle);
    // The daily cycle takes a pending retry up as an attempt.
    s.MarkDaily();
    EXPECT_EQ(s.BeginCycle().status, stop_all ? "0/3" : "1/3");
    EXPECT_EQ(s.TakeDeferred(), Schedule::Action::kNone);
    EXPECT_EQ(s.OnTick(9), Schedule::Action::kUnknown);
  }
}

TEST(Schedule, NoTimerOutlivesTheLastRetry) {
  FakeTimers timers;
  Schedule s(timers);
  s.SetRetry(true, 2, 10, 0);
  s.MarkManual();
  s.BeginCycle();
  s.EndCycle(false);
  for (int attempt = 1; attempt <= 2; ++attempt) {
    ASSERT_EQ(timers.running.count(kRetryTimer), 1u) << attempt;
    ASSERT_EQ(s.OnTick(kRetryTimer), Schedule::Action::kRetryCycle);
    s.BeginCycle();
    s.EndCycle(false);
  }
  EXPECT_TRUE(timers.running.empty()) << "the series is over";
  EXPECT_FALSE(s.retry_running());
  EXPECT_EQ(s.TakeDeferred(), Schedule::Action::kNone);
}

TEST(Schedule, TimersThatCannotStartLeaveNoRecord) {
  FakeTimers timers;
  timers.fail = true;
  Schedule s(timers);
  s.SetRetry(true, 3, 10, 0);
  s.SetDaily(true, 7, 30);
  s.ArmDaily(0);
  s.StartClock();
  EXPECT_FALSE(s.daily_running() || s.clock_running());
  s.MarkManual();
  s.BeginCycle();
  // The series ends at once: no timer would take it up.
  EXPECT_EQ(s.EndCycle(false), "3回");
  EXPECT_FALSE(s.retry_running());
  EXPECT_EQ(s.counter(), 0);
}

}  // namespace
}  // namespace qv::main
