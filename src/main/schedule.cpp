#include "main/schedule.h"

#include <algorithm>

namespace qv::main {

std::optional<std::uint32_t> RetryIntervalMs(int value, int unit) {
  if (value < 0) return std::nullopt;
  const std::int64_t factor = unit == 1 ? 60000 : unit == 2 ? 3600000 : 1000;
  return static_cast<std::uint32_t>(std::min<std::int64_t>(value * factor, kMaxTimerMs));
}

std::string RetryCountText(int limit) { return std::to_string(limit) + "回"; }

std::string RetryProgressText(bool retry_on, int counter, int limit) {
  if (retry_on && counter >= 0 && counter <= limit) return std::to_string(counter) + "/" + std::to_string(limit);
  return RetryCountText(limit);
}

std::string RetryIntervalText(int value, int unit) {
  const char* letter = unit == 0 ? "s" : unit == 1 ? "m" : unit == 2 ? "h" : "";
  return std::to_string(value) + letter;
}

int DailyWaitSeconds(int now, int hour, int minute) {
  const int target = hour * 3600 + minute * 60;
  return now < target ? target - now : target - now + 86400;
}

void Schedule::SetRetry(bool on, int limit, int value, int unit) {
  const std::optional<std::uint32_t> interval = RetryIntervalMs(value, unit);
  // A negative limit or interval is no retry at all.
  retry_on_ = on && limit >= 0 && interval.has_value();
  retry_limit_ = limit;
  retry_interval_ms_ = interval.value_or(0);
}

void Schedule::SetDaily(bool on, int hour, int minute) {
  daily_on_ = on;
  daily_hour_ = hour;
  daily_minute_ = minute;
}

void Schedule::StartClock() {
  if (!clock_running_) clock_running_ = timers_.StartTimer(kClockTimer, 1000);
}

void Schedule::StopClock() {
  if (clock_running_ && timers_.StopTimer(kClockTimer)) clock_running_ = false;
}

void Schedule::StopRetry() {
  if (retry_running_ && timers_.StopTimer(kRetryTimer)) retry_running_ = false;
}

void Schedule::ArmDaily(int now) {
  StopDaily();
  daily_wait_ms_ = static_cast<std::uint32_t>(DailyWaitSeconds(now, daily_hour_, daily_minute_)) * 1000u;
  daily_running_ = timers_.StartTimer(kDailyTimer, daily_wait_ms_);
}

void Schedule::StopDaily() {
  if (daily_running_ && timers_.StopTimer(kDailyTimer)) daily_running_ = false;
}

void Schedule::StopAll() {
  StopClock();
  StopRetry();
  StopDaily();
  retry_deferred_ = false;
  daily_deferred_ = daily_deferred_ && daily_on_;
}

Schedule::Action Schedule::OnTick(std::uintptr_t id) {
  switch (id) {
    case kClockTimer: return Action::kShowClock;
    case kRetryTimer:
      if (!busy()) return Action::kRetryCycle;
      // Taken up after the running cycle; the timer must not tick on meanwhile.
      StopRetry();
      retry_deferred_ = true;
      return Action::kNone;
    case kDailyTimer:
      if (!busy()) return Action::kDailyCycle;
      StopDaily();
      daily_deferred_ = true;
      return Action::kNone;
    default: return Action::kUnknown;
  }
}

Schedule::Action Schedule::TakeDeferred() {
  if (busy()) return Action::kNone;
  if (daily_deferred_) {
    daily_deferred_ = false;
    if (daily_on_) return Action::kDailyCycle;
  }
  if (retry_deferred_) return Action::kRetryCycle;  // BeginCycle takes it up
  return Action::kNone;
}

Schedule::Start Schedule::BeginCycle() {
  Start start;
  if (retry_running_ || retry_deferred_) {
    StopRetry();
    retry_deferred_ = false;
    if (!retry_on_ || retry_limit_ < counter_) {
      counter_ = 0;
      start.adjust = false;
      return start;
    }
    ++counter_;
    start.status = ProgressText();
  }
  if (manual_ || daily_flag_) start.status = ProgressText();
  return start;
}

std::optional<std::string> Schedule::EndCycle(bool ok) {
  if (ok) {
    if (counter_ > 0) counter_ = 0;
    return CountText();
  }
  if (!retry_on_) return CountText();
  if (manual_ || daily_flag_) {
    ClearFlags();
    counter_ = 0;
  }
  if (counter_ < retry_limit_) {
    retry_running_ = timers_.StartTimer(kRetryTimer, retry_interval_ms_);
    // A timer that cannot start ends the series: nothing would take it up.
    if (retry_running_) return std::nullopt;
  }
  counter_ = 0;
  return CountText();
}

}  // namespace qv::main
