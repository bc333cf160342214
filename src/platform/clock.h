// The clock: read UTC, read the OS zone's local time, set UTC, set local.
// Nothing else in the code base reads or sets the system clock; tests
// replace it with a fake.
#pragma once

#include <cstdint>
#include <string>

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
inline constexpr std::int64_t kFileTicksPerSecond = 10000000LL;

// Why a set of the clock was refused, as the user is told it.
enum class ClockRefusal : std::uint8_t {
  kNone,                // set
  kNoRight,             // neither this process nor a helper it may ask holds the right
  kOtherTimeService,    // another time service keeps this clock (automatic synchronisation is on)
  kHelperMissing,       // no right here, and no helper that may set it is installed
  kHelperNotAnswering,  // no right here, and the helper did not answer in time
  kImpossibleTime,      // no such moment, or one the OS cannot hold
  kOther,               // anything else: os_error has the OS's number
};

// "no right to set the clock", "another time service keeps this clock", ...
// (empty for kNone): the detail of a refused adjustment.
const char* ClockRefusalText(ClockRefusal refusal);

// What the user can do once so that later sets are allowed, for a refusal
// that the system's setup decides (no right, no helper, a helper that did
// not answer, another time service); empty for any other. Several lines,
// the first of them the refusal; `program` is the executable that sets the
// clock (where the right can be given to the file).
std::string ClockRightHint(ClockRefusal refusal, const std::string& program);

// The outcome of one set of the clock.
struct ClockSet {
  ClockRefusal refusal = ClockRefusal::kNone;
  // The OS's own number for the refusal (Windows: GetLastError(); elsewhere
  // errno); 0 after a success.
  std::uint32_t os_error = 0;
  // Who set it, when not this process itself (a helper's name, such as
  // "systemd-timedated"); empty otherwise.
  std::string set_by;
  explicit operator bool() const { return refusal == ClockRefusal::kNone; }
  static ClockSet Refused(ClockRefusal why, std::uint32_t os_error = 0) {
    ClockSet set;
    set.refusal = why;
    set.os_error = os_error;
    return set;
  }
};

class Clock {
 public:
  virtual ~Clock() = default;
  // UTC as 100 ns ticks since 1601-01-01 (the finest reading the OS has).
  virtual std::int64_t UtcFileTime() = 0;
  // Local time in the operating system's zone (not the C runtime's TZ).
  virtual SystemTime LocalTime() = 0;
  // A refusal (no right, impossible time) leaves the clock untouched.
  virtual ClockSet SetUtc(const SystemTime& t) = 0;
  virtual ClockSet SetLocal(const SystemTime& t) = 0;
  // When a packet arrived, given the kernel's stamp of it (0 when there is
  // none). The real clock trusts the stamp; any other clock keeps to its own
  // reading, so a fake clock's timeline stays whole.
  virtual std::int64_t ArrivalTime(std::int64_t /*kernel_stamp*/) { return UtcFileTime(); }
};

// The process's clock: the real one unless a test installed another
// (test_seams.h).
Clock& SystemClock();
// The operating system's clock, whatever is installed.
Clock& RealClock();

// The OS's number when the process has no right to set the clock:
// ERROR_PRIVILEGE_NOT_HELD (1314) on Windows, EPERM elsewhere.
std::uint32_t NoClockRightError();

// True only when this process provably cannot set the clock; false whenever
// that cannot be shown. Linux: no user id is 0 and CAP_SYS_TIME is neither
// effective nor permitted. Windows: the token lacks the system-time
// privilege; under Wine instead the Unix process itself must pass the Linux
// test, since Wine grants the privilege to everyone. Tests call the real
// setters only when this holds.
bool ProvenUnableToSetClock();
// The Linux part of that test on the text of /proc/<pid>/status.
bool StatusProvesNoClockRight(const std::string& proc_status);

// True when the fields name a moment that exists: year 1601..30827 (what
// the OS's break-down covers), month 1..12, a day the month has, hour < 24,
// minute < 60, second < 60, milliseconds < 1000. The day of week is not
// checked (the OS ignores it when setting). Setters refuse anything else
// before they reach the OS.
bool IsValidSystemTime(const SystemTime& t);

// The OS zone. Windows: the installation's own setting. Elsewhere: the zone
// the process started with (its TZ, else the system's zone file), kept so
// that a later change of TZ for the C runtime does not move it, and handed
// through the environment to the processes it starts, which then share it.
// Programs call this first thing; SetCRuntimeZone calls it too before it
// touches TZ. Later calls keep the first capture.
void CaptureOsZone();
// Why the OS zone could not be read from the zone file that names it (not a
// regular file, far larger than any zone file, or without a rule for the
// present), in which case the zone is UTC; empty when nothing went wrong.
// Captures the zone first.
std::string OsZoneProblem();

// Conversions in the OS zone. False when the time cannot be converted. On
// Windows the OS decides how a local time skipped or repeated by a
// daylight-saving change maps; elsewhere a skipped one maps to the change
// itself and a repeated one to its earlier instant.
bool OsLocalToUtc(const SystemTime& local, std::int64_t& utc_file_time);
bool UtcToOsLocal(std::int64_t utc_file_time, SystemTime& local);

}  // namespace qv::platform
