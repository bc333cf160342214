// The C library's broken-down time as a SystemTime (shared by the OS files).
#pragma once

#include <ctime>

#include "platform/clock.h"

namespace qv::platform {

// False for years a SystemTime cannot hold (the OS's range, 1601..30827).
inline bool SystemTimeFromTm(const std::tm& parts, SystemTime& out) {
  const long long year = static_cast<long long>(parts.tm_year) + 1900;
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
