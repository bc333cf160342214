// Hears when the system clock is set or the machine wakes from sleep: the
// moments Windows announces with WM_TIMECHANGE and a resume broadcast.
#pragma once

#include <functional>

namespace qv::ui::fltk {

// True when the boot clock has run ahead of the monotonic clock by more
// than a sleep's worth since the last look (both in milliseconds): the
// monotonic clock stands still while the machine sleeps, the boot clock not.
bool ResumedFromSleep(long long previous_gap_ms, long long gap_ms);

class TimeChangeWatch {
 public:
  // `changed` runs on the UI thread, from the event loop.
  explicit TimeChangeWatch(std::function<void()> changed);
  ~TimeChangeWatch();
  TimeChangeWatch(const TimeChangeWatch&) = delete;
  TimeChangeWatch& operator=(const TimeChangeWatch&) = delete;

  // Whether the kernel will tell of a set clock (a timer that is cancelled
  // when the clock is set is waiting).
  bool armed() const;

 private:
  static void Readable(int fd, void* self);
  static void LookForResume(void* self);
  bool Arm();

  std::function<void()> changed_;
  int fd_ = -1;
  long long gap_ms_ = 0;
};

}  // namespace qv::ui::fltk
