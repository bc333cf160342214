// The main program's schedule, apart from any dialog: the next daily
// moment, the retry series after a failed adjustment, and what each tick of
// the dialog's timers asks for. The dialog gives it its window timers and
// runs the cycles it asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv::main {

// The dialog's timers.
inline constexpr std::uintptr_t kClockTimer = 1;
inline constexpr std::uintptr_t kRetryTimer = 2;
inline constexpr std::uintptr_t kDailyTimer = 3;
// The longest period a window timer accepts.
inline constexpr std::uint32_t kMaxTimerMs = 0x7FFFFFFF;

// value seconds, minutes (unit 1) or hours (unit 2); any other unit counts
// seconds. Beyond a timer's longest period it is that period; a negative
// value is no interval (nullopt).
std::optional<std::uint32_t> RetryIntervalMs(int value, int unit);
// "%i回" of the limit.
std::string RetryCountText(int limit);
// "%i/%i" of counter and limit while a series may run, else the count text.
std::string RetryProgressText(bool retry_on, int counter, int limit);
// The value and its unit's letter: s, m, h, none for another unit.
std::string RetryIntervalText(int value, int unit);
// Seconds from `now` (seconds since local midnight) to the next hour:minute,
// 1..86400: a moment that is now or past is the same time tomorrow.
int DailyWaitSeconds(int now, int hour, int minute);

// The window timers the schedule runs on. Starting returns whether the
// timer runs; stopping whether it was stopped.
class TimerPort {
 public:
  virtual ~TimerPort() = default;
  virtual bool StartTimer(std::uintptr_t id, std::uint32_t period_ms) = 0;
  virtual bool StopTimer(std::uintptr_t id) = 0;
};

class Schedule {
 public:
  explicit Schedule(TimerPort& timers) : timers_(timers) {}

  // ---- settings (from each reading of the profile)
  void SetRetry(bool on, int limit, int value, int unit);
  void SetDaily(bool on, int hour, int minute);
  bool retry_on() const { return retry_on_; }
  int retry_limit() const { return retry_limit_; }
  std::uint32_t retry_interval_ms() const { return retry_interval_ms_; }
  bool daily_on() const { return daily_on_; }

  // ---- timer records: set when a start succeeded, cleared when a stop did
  void StartClock();
  void StopClock();
  // Timer 3 for the next daily moment after `now` (seconds since local
  // midnight on the OS's wall clock).
  void ArmDaily(int now);
  void StopDaily();
  // Clock, retry, daily; a tick put off for a running cycle is dropped too,
  // but a daily one survives while daily adjustment stays on.
  void StopAll();
  bool clock_running() const { return clock_running_; }
  bool retry_running() const { return retry_running_; }
  bool daily_running() const { return daily_running_; }
  std::uint32_t daily_wait_ms() const { return daily_wait_ms_; }

  // ---- ticks
  enum class Action { kNone, kShowClock, kRetryCycle, kDailyCycle, kUnknown };
  // What a tick of timer `id` asks for. A retry or daily tick that comes
  // while a cycle runs (its modal loops dispatch ticks) is put off, its
  // timer stopped, and handed out by TakeDeferred once the cycle is over.
  Action OnTick(std::uintptr_t id);
  // Counts cycles in progress (a check, an adjustment and its notices).
  void EnterCycle() { ++depth_; }
  void LeaveCycle() { --depth_; }
  bool busy() const { return depth_ > 0; }
  // A tick put off, once no cycle runs; kNone when there is none.
  Action TakeDeferred();

  // ---- the adjustment cycle
  // The start of a manual (button, program start) or daily adjustment.
  void MarkManual() { manual_ = true; }
  void MarkDaily() { daily_flag_ = true; }
  void ClearFlags() { manual_ = daily_flag_ = false; }
  struct Start {
    bool adjust = true;                 // false: the series ended without an attempt
    std::optional<std::string> status;  // the retry text to show first
  };
  // Before an attempt: a pending retry (running timer or a tick put off) is
  // taken up and counted, or ends the series.
  Start BeginCycle();
  // After the attempt: ends the series on success, starts the retry timer
  // after a failure while attempts are left. Returns the retry text to show,
  // if it changes.
  std::optional<std::string> EndCycle(bool ok);
  int counter() const { return counter_; }
  bool manual() const { return manual_; }
  bool daily_flag() const { return daily_flag_; }

  std::string CountText() const { return RetryCountText(retry_limit_); }
  std::string ProgressText() const { return RetryProgressText(retry_on_, counter_, retry_limit_); }

 private:
  void StopRetry();
  TimerPort& timers_;
  bool retry_on_ = false;
  int retry_limit_ = 0;
  std::uint32_t retry_interval_ms_ = 0;
  bool daily_on_ = false;
  int daily_hour_ = 0, daily_minute_ = 0;
  std::uint32_t daily_wait_ms_ = 0;
  bool clock_running_ = false, retry_running_ = false, daily_running_ = false;
  bool retry_deferred_ = false, daily_deferred_ = false;
  bool manual_ = false, daily_flag_ = false;
  int counter_ = 0;
  int depth_ = 0;
};

}  // namespace qv::main
