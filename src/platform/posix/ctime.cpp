#include "platform/ctime.h"

#include <stdlib.h>
#include <time.h>

namespace qv::platform {

bool SetCRuntimeZone(const std::string& value) {
  // The OS zone is the one the process started with: keep it before TZ moves.
  CaptureOsZone();
  if (setenv("TZ", value.c_str(), 1) != 0) return false;
  tzset();
  return true;
}

std::string FormatCTime(std::int64_t unix_seconds, const char* format) {
  time_t t = static_cast<time_t>(unix_seconds);
  if (static_cast<std::int64_t>(t) != unix_seconds) return {};
  tm parts{};
  if (!localtime_r(&t, &parts)) return {};
  char buf[256];
  std::size_t n = strftime(buf, sizeof buf, format, &parts);
  return std::string(buf, n);
}

bool BreakDownUtc(std::int64_t unix_seconds, SystemTime& out) {
  time_t t = static_cast<time_t>(unix_seconds);
  if (static_cast<std::int64_t>(t) != unix_seconds) return false;
  tm parts{};
  if (!gmtime_r(&t, &parts)) return false;
  long long year = static_cast<long long>(parts.tm_year) + 1900;
  if (year < 1601 || year > 30827) return false;
  out.year = static_cast<std::uint16_t>(year);
  out.month = static_cast<std::uint16_t>(parts.tm_mon + 1);
  out.day_of_week = static_cast<std::uint16_t>(parts.tm_wday);
  out.day = static_cast<std::uint16_t>(parts.tm_mday);
  out.hour = static_cast<std::uint16_t>(parts.tm_hour);
  out.minute = static_cast<std::uint16_t>(parts.tm_min);
  out.second = static_cast<std::uint16_t>(parts.tm_sec);
  out.milliseconds = 0;
  return true;
}

}  // namespace qv::platform
