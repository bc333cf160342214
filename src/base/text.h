// Small text rules shared by every layer: integers, ASCII case folding
// (never the C library's, which follows the locale) and a path's base name.
#pragma once

#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace qv {

// A whole text of digits in `base`, with a leading '-' for signed types: no
// blanks, no '+', nothing after the digits, and within T's range.
template <typename T>
std::optional<T> ParseInt(std::string_view text, int base = 10) {
  static_assert(std::is_integral_v<T>);
  T value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

// The same, and within [low, high].
template <typename T>
std::optional<T> ParseIntIn(std::string_view text, T low, T high) {
  const std::optional<T> value = ParseInt<T>(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

// An integer as a user types it into a number field: blanks, an optional
// sign, decimal digits, blanks; nothing else, and within the int range.
inline std::optional<int> ParseTypedInt(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  return ParseInt<int>(text);
}

// The C library's reading of an integer at text[pos], as Windows reads a
// profile's numbers and as "%i" scans them: blanks, an optional sign, then
// hexadecimal digits after "0x" (only when one follows: "0xg" is 0), octal
// ones after a leading "0" when `octal`, decimal otherwise, up to the first
// other character. Values beyond the int range saturate. Advances pos past
// the number; nullopt (pos kept) without digits.
constexpr std::optional<int> ScanCInt(std::string_view text, std::size_t& pos, bool octal,
                                      std::string_view blanks = " \t\n\v\f\r") {
  const auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
  };
  std::size_t p = pos;
  while (p < text.size() && blanks.find(text[p]) != std::string_view::npos) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  if (p >= text.size() || digit(text[p]) > 9) return std::nullopt;
  int base = 10;
  if (text[p] == '0') {
    if (octal) base = 8;
    if (p + 2 < text.size() && (text[p + 1] == 'x' || text[p + 1] == 'X') && digit(text[p + 2]) < 16) {
      base = 16;
      p += 2;
    }
  }
  long long magnitude = 0;
  for (; p < text.size() && digit(text[p]) < base; ++p)
    if (magnitude <= INT_MAX) magnitude = magnitude * base + digit(text[p]);
  pos = p;
  if (negative) magnitude = -magnitude;
  return static_cast<int>(magnitude > INT_MAX ? INT_MAX : magnitude < INT_MIN ? INT_MIN : magnitude);
}

// A profile's integer as Windows reads it: blanks and tabs, a sign, decimal
// digits or hexadecimal ones after "0x", up to the first other character
// ("12abc" is 12, "010" is 10, "0x1F" is 31); nullopt without digits.
constexpr std::optional<int> ParseProfileInt(std::string_view text) {
  std::size_t pos = 0;
  return ScanCInt(text, pos, false, " \t");
}

// The profile's number lists ("%i,%i:%i") as the C library's scanf reads
// them: "%i" is ScanCInt with octal, "%%" a percent sign, a blank in the
// format any run of blanks (also none), every other character itself.
// Scanning stops at the first mismatch; outputs it did not reach keep their
// values. Returns how many outputs were assigned.
constexpr int ScanInts(std::string_view text, std::string_view format, std::initializer_list<int*> outputs) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
  const auto* next_output = outputs.begin();
  int assigned = 0;
  std::size_t pos = 0;
  for (std::size_t f = 0; f < format.size(); ++f) {
    const char fc = format[f];
    if (fc == '%' && f + 1 < format.size() && format[f + 1] == 'i') {
      ++f;
      if (next_output == outputs.end()) break;
      const std::optional<int> value = ScanCInt(text, pos, true);
      if (!value) break;
      if (*next_output) **next_output = *value;
      ++next_output;
      ++assigned;
    } else if (blank(fc)) {
      while (pos < text.size() && blank(text[pos])) ++pos;
    } else {
      if (fc == '%' && f + 1 < format.size() && format[f + 1] == '%') ++f;
      if (pos >= text.size() || text[pos] != fc) break;
      ++pos;
    }
  }
  return assigned;
}

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether `text` begins with `prefix`, ASCII letters compared without case.
constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

// Where a path's last component starts: after its last "/" or "\\" (a
// Windows path may hold either; no path of ours on Linux holds "\\").
constexpr std::size_t BaseNameStart(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? 0 : slash + 1;
}

// The last component without its extension ("C:\\bin\\Quorvel.exe" gives
// "Quorvel"); a leading dot starts no extension.
constexpr std::string_view StemOf(std::string_view path) {
  const std::string_view name = path.substr(BaseNameStart(path));
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

// Whether `text` is well-formed UTF-8: shortest forms only, no encoded
// surrogate, nothing above U+10FFFF.
constexpr bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint32_t c = 0;
    if (lead < 0x80) length = 1, c = lead;
    else if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, c = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, c = lead & 0x07;
    else return false;
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return false;
      c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)))
      return false;
    i += length;
  }
  return true;
}

}  // namespace qv
