// The engine's time texts: day and month names, the PC time text, server
// times in the C runtime's zone, reading a server time text back, and
// making server text safe to show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/micro_time.h"
#include "platform/clock.h"

namespace qv::engine {

extern const char* const kDayNames[7];     // "Sun".."Sat"
extern const char* const kMonthNames[13];  // "", "Jan".."Dec"

// The OS zone's local time as "%s %s %02i %02i:%02i:%02i %4i".
std::string FormatLocalNow();

// "%a %b %d %H:%M:%S %Y" in the C runtime's zone; seconds read as unsigned,
// so texts run to 2106.
std::string FormatServerTime(MicroTime t);
// "%a %b %d %Y %H:%M:%S" in the C runtime's zone, then ".%06u" microseconds.
std::string FormatMicroTime(MicroTime t);

// An offset in seconds with a sign and six decimals ("+2.000000",
// "-0.000500"), rounded to the nearest microsecond, halves away from zero.
std::string FormatOffset(std::int64_t offset_ns);

// 1..12, or 0 when the text is no month name (exact, case-sensitive).
int MonthFromName(std::string_view text);

// Reads weekday, month, day, hour, minute, second and year from a text cut
// at blanks and colons ("Sun Dec  6 11:36:06 2026", the CR ending a DAYTIME
// line allowed after the year; later words are ignored). Nothing when a
// field is missing or not wholly digits (day, hour, minute, second one or
// two, the year four), the month is no name, the year lies outside
// 1970..2106 or the moment does not exist (31 February): such a text never
// reaches the clock.
std::optional<platform::SystemTime> ParseTimeText(std::string_view text);

// Server text made safe for a terminal, a dialog and a log: every byte that
// is not printable ASCII becomes '?', except a CR at the very end when
// `keep_final_cr` (the CR that ends a DAYTIME line).
std::string SanitizeServerText(std::string_view text, bool keep_final_cr = false);

}  // namespace qv::engine
