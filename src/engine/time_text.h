// Shared time texts: day and month names, the PC time text, and reading a
// server time text back into its parts.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace qv::engine {

extern const char* const kDayNames[7];     // "Sun".."Sat"
extern const char* const kMonthNames[13];  // "", "Jan".."Dec"

// The OS zone's local time as "%s %s %02i %02i:%02i:%02i %4i".
std::string FormatLocalNow();

// 1..12, or 0 when the text is no month name (exact, case-sensitive).
int MonthFromName(std::string_view text);

// Tokens weekday, month, day, hour, minute, second, year; never reads beyond
// the text.
platform::SystemTime ParseTimeText(std::string_view text);

}  // namespace qv::engine
