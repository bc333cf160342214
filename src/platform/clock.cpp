#include "platform/clock.h"

#include <atomic>

namespace qv::platform {

namespace {
std::atomic<Clock*> g_test_clock{nullptr};

bool IsLeapYear(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}
}  // namespace

Clock& SystemClock() {
  Clock* installed = g_test_clock.load(std::memory_order_acquire);
  return installed ? *installed : RealClock();
}

void SetClockForTesting(Clock* clock) { g_test_clock.store(clock, std::memory_order_release); }

bool IsValidSystemTime(const SystemTime& t) {
  if (t.year < 1601 || t.year > 30827) return false;
  if (t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
  return t.hour < 24 && t.minute < 60 && t.second < 60 && t.milliseconds < 1000;
}

}  // namespace qv::platform
