// The C runtime's zone and 64-bit time functions (the 32-bit ones end in
// 2038; these reach the year 3000).
#include "platform/ctime.h"

#include <stdlib.h>
#include <time.h>

namespace qv::platform {

bool SetCRuntimeZone(const std::string& value) {
  CaptureOsZone();
  if (_putenv_s("TZ", value.c_str()) != 0) return false;
  _tzset();
  return true;
}

std::string FormatCTime(std::int64_t unix_seconds, const char* format) {
  __time64_t t = unix_seconds;
  tm parts{};
  if (_localtime64_s(&parts, &t) != 0) return {};
  char buf[256];
  std::size_t n = strftime(buf, sizeof buf, format, &parts);
  return std::string(buf, n);
}

bool BreakDownUtc(std::int64_t unix_seconds, SystemTime& out) {
  __time64_t t = unix_seconds;
  tm parts{};
  if (_gmtime64_s(&parts, &t) != 0) return false;
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
