#include "platform/ctime.h"
#include "platform/tm_convert.h"

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

std::string FormatCRuntimeTime(std::int64_t unix_seconds, const char* format) {
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
  return SystemTimeFromTm(parts, out);
}

}  // namespace qv::platform
