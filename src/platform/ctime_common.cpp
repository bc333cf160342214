// Time texts in the zone the programs show times in: the same on every
// system once the OS zone has broken the time down.
#include <atomic>
#include <cstdint>
#include <ctime>

#include "platform/ctime.h"

namespace qv::platform {

namespace {

std::atomic<ShownZone> g_shown_zone{ShownZone::kCRuntime};

int DayOfYear(const SystemTime& t) {
  static constexpr int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  return kBefore[t.month - 1] + (leap && t.month > 2 ? 1 : 0) + t.day - 1;
}

std::string FormatInOsZone(std::int64_t unix_seconds, const char* format) {
  // Beyond these the file time overflows; the OS breaks down no such year.
  constexpr std::int64_t kFirst = -kFileTimeUnixEpoch / kFileTicksPerSecond;
  constexpr std::int64_t kLast = (INT64_MAX - kFileTimeUnixEpoch) / kFileTicksPerSecond;
  if (unix_seconds < kFirst || unix_seconds > kLast) return {};
  SystemTime local;
  if (!UtcToOsLocal(kFileTimeUnixEpoch + unix_seconds * kFileTicksPerSecond, local)) return {};
  std::tm parts{};
  parts.tm_year = local.year - 1900;
  parts.tm_mon = local.month - 1;
  parts.tm_mday = local.day;
  parts.tm_hour = local.hour;
  parts.tm_min = local.minute;
  parts.tm_sec = local.second;
  parts.tm_wday = local.day_of_week;
  parts.tm_yday = DayOfYear(local);
  parts.tm_isdst = 0;  // none of our formats names the zone
  char buf[256];
  const std::size_t n = std::strftime(buf, sizeof buf, format, &parts);
  return std::string(buf, n);
}

}  // namespace

void SetShownZone(ShownZone zone) { g_shown_zone.store(zone); }
ShownZone CurrentShownZone() { return g_shown_zone.load(); }

std::string FormatCTime(std::int64_t unix_seconds, const char* format) {
  return CurrentShownZone() == ShownZone::kOs ? FormatInOsZone(unix_seconds, format)
                                              : FormatCRuntimeTime(unix_seconds, format);
}

}  // namespace qv::platform
