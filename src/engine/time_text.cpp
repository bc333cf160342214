#include "engine/time_text.h"

#include <cstdio>

#include "base/text.h"
#include "platform/ctime.h"

namespace qv::engine {

const char* const kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[13] = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string FormatLocalNow() {
  const platform::SystemTime t = platform::SystemClock().LocalTime();
  const char* day = t.day_of_week < 7 ? kDayNames[t.day_of_week] : "";
  const char* month = t.month <= 12 ? kMonthNames[t.month] : "";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %02i %02i:%02i:%02i %4i", day, month, int{t.day}, int{t.hour},
                int{t.minute}, int{t.second}, int{t.year});
  return buf;
}

std::string FormatServerTime(MicroTime t) { return platform::FormatCTime(t.seconds, "%a %b %d %H:%M:%S %Y"); }

std::string FormatMicroTime(MicroTime t) {
  char micros[16];
  std::snprintf(micros, sizeof micros, "%06u", static_cast<unsigned>(t.micros));
  return platform::FormatCTime(t.seconds, "%a %b %d %Y %H:%M:%S") + "." + micros;
}

std::string FormatOffset(std::int64_t offset_ns) {
  // Made from integers: no rounding of a binary fraction decides a digit.
  const std::uint64_t magnitude =
      offset_ns < 0 ? 0 - static_cast<std::uint64_t>(offset_ns) : static_cast<std::uint64_t>(offset_ns);
  const std::uint64_t micros = (magnitude + 500) / 1000;
  const std::string fraction = std::to_string(micros % 1000000);
  std::string text(1, offset_ns < 0 ? '-' : '+');
  text += std::to_string(micros / 1000000);
  text += '.';
  text.append(6 - fraction.size(), '0');
  text += fraction;
  return text;
}

int MonthFromName(std::string_view text) {
  for (int m = 1; m <= 12; ++m) {
    if (text == kMonthNames[m]) return m;
  }
  return 0;
}

namespace {

bool IsDelimiter(char c) { return c == ':' || c == ' '; }

bool IsDigits(std::string_view token, std::size_t min_length, std::size_t max_length) {
  if (token.size() < min_length || token.size() > max_length) return false;
  for (char c : token) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A field of 1..max_length digits and nothing else.
std::optional<std::uint16_t> Field(std::string_view token, std::size_t min_length, std::size_t max_length) {
  if (!IsDigits(token, min_length, max_length)) return std::nullopt;
  return ParseInt<std::uint16_t>(token);
}

constexpr std::uint16_t kFirstYear = 1970, kLastYear = 2106;

}  // namespace

std::optional<platform::SystemTime> ParseTimeText(std::string_view text) {
  std::string_view tokens[7];
  std::size_t count = 0;
  for (std::size_t pos = 0; count < 7;) {
    while (pos < text.size() && IsDelimiter(text[pos])) ++pos;
    if (pos == text.size()) break;
    std::size_t end = pos;
    while (end < text.size() && !IsDelimiter(text[end])) ++end;
    tokens[count++] = text.substr(pos, end - pos);
    pos = end;
  }
  if (count < 7) return std::nullopt;
  std::string_view year = tokens[6];
  if (!year.empty() && year.back() == '\r') year.remove_suffix(1);  // the DAYTIME line's end

  const auto day = Field(tokens[2], 1, 2), hour = Field(tokens[3], 1, 2), minute = Field(tokens[4], 1, 2),
             second = Field(tokens[5], 1, 2), y = Field(year, 4, 4);
  const int month = MonthFromName(tokens[1]);  // the weekday, tokens[0], is not used
  if (!day || !hour || !minute || !second || !y || month == 0 || *y < kFirstYear || *y > kLastYear)
    return std::nullopt;
  platform::SystemTime t;
  t.year = *y;
  t.month = static_cast<std::uint16_t>(month);
  t.day = *day;
  t.hour = *hour;
  t.minute = *minute;
  t.second = *second;
  if (!platform::IsValidSystemTime(t)) return std::nullopt;
  return t;
}

std::string SanitizeServerText(std::string_view text, bool keep_final_cr) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    const bool final_cr = keep_final_cr && c == '\r' && i + 1 == out.size();
    if ((c < 0x20 || c > 0x7E) && !final_cr) out[i] = '?';
  }
  return out;
}

}  // namespace qv::engine
