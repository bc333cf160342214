// The clock: read UTC, read the OS zone's local time, set UTC, set local.
// Nothing else in the code base reads or sets the system clock; tests
// replace it with a fake.
#pragma once

#include <cstdint>

namespace qv::platform {

// Broken-down time in the Windows SYSTEMTIME layout.
struct SystemTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;        // 1..12
  std::uint16_t day_of_week = 0;  // 0 = Sunday
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
  friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// 100 ns ticks from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kFileTimeUnixEpoch = 116444736000000000LL;

class Clock {
 public:
  virtual ~Clock() = default;
  // UTC as 100 ns ticks since 1601-01-01 (the finest reading the OS has).
  virtual std::int64_t UtcFileTime() = 0;
  // Local time in the operating system's zone (not the C runtime's TZ).
  virtual SystemTime LocalTime() = 0;
  // False when the system refuses (no right, impossible time); the clock is
  // then untouched.
  virtual bool SetUtc(const SystemTime& t) = 0;
  virtual bool SetLocal(const SystemTime& t) = 0;
};

// The process's clock: the real one unless a test installed another.
Clock& SystemClock();
// nullptr restores the real clock.
void SetClockForTesting(Clock* clock);

}  // namespace qv::platform
