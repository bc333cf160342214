#include "engine/time_text.h"

#include <cstdio>

namespace qv::engine {

const char* const kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[13] = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string FormatLocalNow() {
  platform::SystemTime t = platform::SystemClock().LocalTime();
  const char* day = t.day_of_week < 7 ? kDayNames[t.day_of_week] : "";
  const char* month = t.month <= 12 ? kMonthNames[t.month] : "";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %02i %02i:%02i:%02i %4i", day, month, int{t.day}, int{t.hour},
                int{t.minute}, int{t.second}, int{t.year});
  return buf;
}

int MonthFromName(std::string_view text) {
  for (int m = 1; m <= 12; ++m) {
    if (text == kMonthNames[m]) return m;
  }
  return 0;
}

namespace {

bool IsDelimiter(char c) { return c == ':' || c == ' '; }

// The leading decimal digits of a token; 0 when it has none. Saturates at
// the field's maximum so that an overlong number stays an impossible value
// instead of wrapping into a plausible one.
std::uint16_t LeadingNumber(std::string_view token) {
  constexpr unsigned kMax = 0xFFFF;
  unsigned value = 0;
  for (char c : token) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > kMax) return kMax;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

platform::SystemTime ParseTimeText(std::string_view text) {
  // Weekday, month, day, hour, minute, second, year. A short text leaves the
  // missing fields 0 (year 0 at least), which no clock accepts.
  std::string_view tokens[7];
  std::size_t count = 0;
  std::size_t pos = 0;
  while (count < 7) {
    while (pos < text.size() && IsDelimiter(text[pos])) ++pos;
    if (pos == text.size()) break;
    std::size_t end = pos;
    while (end < text.size() && !IsDelimiter(text[end])) ++end;
    tokens[count++] = text.substr(pos, end - pos);
    pos = end;
  }

  platform::SystemTime t;
  t.month = static_cast<std::uint16_t>(MonthFromName(tokens[1]));
  t.day = LeadingNumber(tokens[2]);
  t.hour = LeadingNumber(tokens[3]);
  t.minute = LeadingNumber(tokens[4]);
  t.second = LeadingNumber(tokens[5]);
  t.year = LeadingNumber(tokens[6]);
  t.day_of_week = 0;
  t.milliseconds = 0;
  return t;
}

}  // namespace qv::engine
