// The real clock on POSIX systems. The OS zone is the zone the process
// started with, read from its zone file's rule rather than by toggling TZ:
// the main program later sets TZ for the C runtime only.
#include "platform/clock.h"
#include "platform/posix/timedated.h"
#include "platform/test_seams.h"

#include <date/tz.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

// ptz.h names hh_mm_ss unqualified under two using-directives, which C++20's
// std::chrono::hh_mm_ss makes ambiguous; a declaration in its own namespace
// is found first.
namespace Posix {
using date::hh_mm_ss;
}
#include <date/ptz.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>

namespace qv::platform {

namespace {

using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, kFileTicksPerSecond>>;
using SysTicks = date::sys_time<Ticks>;
using LocalTicks = date::local_time<Ticks>;

// Zone files run to a few kilobytes; anything far larger is no zone file.
constexpr off_t kZoneFileLimit = 1 << 20;

// The whole zone file at `path`. A missing file is no problem (the name may
// be a rule); something that is not a regular file, or is too large, is
// refused before a byte is read: /dev/zero would never end, a FIFO would
// block for ever.
bool ReadZoneFile(const std::string& path, std::string& data, std::string& problem) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = fstat(fd, &info) == 0;
  if (ok && !S_ISREG(info.st_mode)) {
    problem = "the time zone file " + path + " is not a regular file";
    ok = false;
  } else if (ok && info.st_size > kZoneFileLimit) {
    problem = "the time zone file " + path + " is too large to be one";
    ok = false;
  }
  if (ok) {
    data.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < data.size()) {
      const ssize_t n = read(fd, data.data() + got, data.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    data.resize(got);
  }
  close(fd);
  return ok;
}

// A POSIX rule such as "JST-9" or "EST5EDT,M3.2.0,M11.1.0": given as TZ, or
// the rule a zone file states for today and later (the footer of a
// version 2+ zone file). Only the present is ever converted (the PC's time
// now, the clock set now), so the rule is all of a zone that is needed, and
// reading it spares loading the zone database, which costs more than the
// rest of a query.
class Zone {
 public:
  static Zone Utc() { return Zone(Posix::time_zone("UTC0")); }

  // Nothing when there is no such file; nothing and a problem when there
  // is, but it holds no rule.
  static std::optional<Zone> FromFileFooter(const std::string& path, std::string& problem) {
    std::string data;
    if (!ReadZoneFile(path, data, problem)) return std::nullopt;
    if (data.size() >= 6 && data.compare(0, 4, "TZif") == 0 && data[4] >= '2' && data.back() == '\n') {
      const std::size_t start = data.rfind('\n', data.size() - 2);
      if (start != std::string::npos && start + 2 < data.size()) {
        if (auto zone = FromRule(data.substr(start + 1, data.size() - start - 2))) return zone;
      }
    }
    problem = "the time zone file " + path + " states no rule for the present";
    return std::nullopt;
  }

  static std::optional<Zone> FromRule(const std::string& rule) {
    try {
      return Zone(Posix::time_zone(rule));
    } catch (...) {
      return std::nullopt;
    }
  }

  // Reads a TZ value as the C library would: ":name" is a zone file; a bare
  // value is a zone file when one exists, else a POSIX rule.
  static std::optional<Zone> FromTz(std::string tz, std::string& problem) {
    if (tz.empty()) return Utc();
    const bool file_only = tz[0] == ':';
    if (file_only) tz.erase(0, 1);
    static const std::string kZoneDir = "/usr/share/zoneinfo/";
    if (tz.compare(0, kZoneDir.size(), kZoneDir) == 0) tz.erase(0, kZoneDir.size());
    if (tz.find("..") == std::string::npos) {
      const std::string path = !tz.empty() && tz[0] == '/' ? tz : kZoneDir + tz;
      if (auto zone = FromFileFooter(path, problem)) return zone;
      if (!problem.empty()) return std::nullopt;  // a file, but no zone
    }
    if (file_only) return std::nullopt;
    return FromRule(tz);
  }

  // The zone of a TZ value, or of the system when there is none.
  static Zone FromStartTz(const std::optional<std::string>& tz, std::string& problem) {
    // The C library falls back to UTC for a TZ it cannot read.
    if (tz) return FromTz(*tz, problem).value_or(Utc());
    return FromFileFooter("/etc/localtime", problem).value_or(Utc());
  }

  LocalTicks ToLocal(SysTicks t) const { return date::floor<Ticks>(rule_.to_local(t)); }
  SysTicks ToSys(LocalTicks t) const { return date::floor<Ticks>(rule_.to_sys(t, date::choose::earliest)); }

 private:
  explicit Zone(Posix::time_zone z) : rule_(std::move(z)) {}

  Posix::time_zone rule_;
};

// A program that changes TZ for the C runtime passes the zone it started
// with to the processes it starts, so that they share its OS zone:
// "TZ=<value>", or "system" when it started without TZ.
constexpr const char* kStartZoneVariable = "QUORVEL_OS_TZ";
constexpr const char* kSystemZone = "system";

// The TZ value the OS zone is read from: inherited through the variable
// above, else the process's own TZ; nullopt for the system's zone.
std::optional<std::string> StartTz() {
  if (const char* inherited = std::getenv(kStartZoneVariable)) {
    std::string value(inherited);
    if (value.compare(0, 3, "TZ=") == 0) return value.substr(3);
    if (value == kSystemZone) return std::nullopt;
  }
  if (const char* tz = std::getenv("TZ")) return std::string(tz);
  return std::nullopt;
}

std::mutex g_zone_mutex;
std::optional<Zone> g_captured;           // guarded by g_zone_mutex
std::optional<Zone> g_override;           // guarded by g_zone_mutex
std::optional<std::string> g_start_tz;    // guarded by g_zone_mutex; what g_captured came from
std::string g_zone_problem;               // guarded by g_zone_mutex

Zone CurrentZone() {
  std::lock_guard<std::mutex> lock(g_zone_mutex);
  if (!g_captured) {
    g_start_tz = StartTz();
    g_captured = Zone::FromStartTz(g_start_tz, g_zone_problem);
  }
  return g_override ? *g_override : *g_captured;
}

LocalTicks ToLocalTicks(const SystemTime& t) {
  date::local_days day{date::year{t.year} / date::month{t.month} / date::day{t.day}};
  return LocalTicks{day.time_since_epoch()} + std::chrono::hours{t.hour} + std::chrono::minutes{t.minute} +
         std::chrono::seconds{t.second} + std::chrono::milliseconds{t.milliseconds};
}

bool BreakDown(LocalTicks t, SystemTime& out) {
  date::local_days day = date::floor<date::days>(t);
  date::year_month_day ymd{day};
  int year = static_cast<int>(ymd.year());
  if (year < 1601 || year > 30827) return false;
  date::hh_mm_ss<Ticks> tod{t - day};
  out.year = static_cast<std::uint16_t>(year);
  out.month = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.month()));
  out.day_of_week = static_cast<std::uint16_t>(date::weekday{day}.c_encoding());
  out.day = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.day()));
  out.hour = static_cast<std::uint16_t>(tod.hours().count());
  out.minute = static_cast<std::uint16_t>(tod.minutes().count());
  out.second = static_cast<std::uint16_t>(tod.seconds().count());
  auto millis = std::chrono::floor<std::chrono::milliseconds>(tod.subseconds());
  out.milliseconds = static_cast<std::uint16_t>(millis.count());
  return true;
}

ClockSet Refuse(int error) {
  return ClockSet::Refused(error == EPERM    ? ClockRefusal::kNoRight
                           : error == EINVAL ? ClockRefusal::kImpossibleTime
                                             : ClockRefusal::kOther,
                           static_cast<std::uint32_t>(error));
}

// Directly with CAP_SYS_TIME. Without it (EPERM, and only then) through
// systemd-timedated, which polkit may allow the user; any other refusal is
// final.
ClockSet SetFileTime(std::int64_t utc_file_time) {
  if (utc_file_time < kFileTimeUnixEpoch) return Refuse(EINVAL);  // no Unix time before 1970
  std::int64_t ticks = utc_file_time - kFileTimeUnixEpoch;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ticks / kFileTicksPerSecond);
  ts.tv_nsec = static_cast<long>(ticks % kFileTicksPerSecond) * 100;
  if (clock_settime(CLOCK_REALTIME, &ts) == 0) return {};
  if (errno != EPERM) return Refuse(errno);
  return posix::SetThroughTimedated(ticks / (kFileTicksPerSecond / 1000000));
}

class PosixClock final : public Clock {
 public:
  std::int64_t UtcFileTime() override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return kFileTimeUnixEpoch + static_cast<std::int64_t>(ts.tv_sec) * kFileTicksPerSecond + ts.tv_nsec / 100;
  }

  SystemTime LocalTime() override {
    SystemTime out;
    if (!UtcToOsLocal(UtcFileTime(), out)) out = SystemTime{};
    return out;
  }

  std::int64_t ArrivalTime(std::int64_t kernel_stamp) override {
    return kernel_stamp != 0 ? kernel_stamp : UtcFileTime();
  }

  ClockSet SetUtc(const SystemTime& t) override {
    if (!IsValidSystemTime(t)) return Refuse(EINVAL);
    SysTicks utc{ToLocalTicks(t).time_since_epoch()};
    return SetFileTime(utc.time_since_epoch().count() + kFileTimeUnixEpoch);
  }

  ClockSet SetLocal(const SystemTime& t) override {
    std::int64_t utc = 0;
    if (!OsLocalToUtc(t, utc)) return Refuse(EINVAL);
    return SetFileTime(utc);
  }
};

}  // namespace

Clock& RealClock() {
  static PosixClock clock;
  return clock;
}

std::uint32_t NoClockRightError() { return EPERM; }

bool ProvenUnableToSetClock() {
  if (geteuid() == 0 || getuid() == 0) return false;
  std::ifstream in("/proc/self/status", std::ios::binary);
  std::string status((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return StatusProvesNoClockRight(status);  // empty when unreadable: proves nothing
}

void CaptureOsZone() {
  (void)CurrentZone();
  std::lock_guard<std::mutex> lock(g_zone_mutex);
  std::string published = g_start_tz ? "TZ=" + *g_start_tz : std::string(kSystemZone);
  setenv(kStartZoneVariable, published.c_str(), 1);
}

std::string OsZoneProblem() {
  (void)CurrentZone();
  std::lock_guard<std::mutex> lock(g_zone_mutex);
  return g_zone_problem;
}

bool SetOsZoneForTesting(const char* tz) {
  std::optional<Zone> zone;
  if (tz) {
    std::string problem;
    zone = Zone::FromTz(tz, problem);
    if (!zone) return false;
  }
  CaptureOsZone();
  std::lock_guard<std::mutex> lock(g_zone_mutex);
  g_override = std::move(zone);
  return true;
}

bool OsLocalToUtc(const SystemTime& local, std::int64_t& utc_file_time) {
  if (!IsValidSystemTime(local)) return false;
  SysTicks utc = CurrentZone().ToSys(ToLocalTicks(local));
  utc_file_time = utc.time_since_epoch().count() + kFileTimeUnixEpoch;
  return true;
}

bool UtcToOsLocal(std::int64_t utc_file_time, SystemTime& local) {
  // Room for any zone offset without overflow; the break-down then refuses
  // years it cannot hold.
  constexpr std::int64_t kLimit = INT64_MAX - 2 * 86400 * kFileTicksPerSecond;
  if (utc_file_time < 0 || utc_file_time > kLimit) return false;
  return BreakDown(CurrentZone().ToLocal(SysTicks{Ticks{utc_file_time - kFileTimeUnixEpoch}}), local);
}

}  // namespace qv::platform
