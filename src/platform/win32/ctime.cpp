// The C runtime's zone and 64-bit time functions (the 32-bit ones end in
// 2038; these reach the year 3000).
#include "platform/ctime.h"
#include "platform/tm_convert.h"

#include <stdlib.h>
#include <time.h>

namespace qv::platform {

bool SetCRuntimeZone(const std::string& value) {
  CaptureOsZone();
  if (_putenv_s("TZ", value.c_str()) != 0) return false;
  _tzset();
  return true;
}

std::string FormatCRuntimeTime(std::int64_t unix_seconds, const char* format) {
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
  return SystemTimeFromTm(parts, out);
}

}  // namespace qv::platform
