// Small text rules shared by every layer: strict decimal integers and ASCII
// case folding (never the C library's, which follows the locale).
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace qv {

// A whole text of decimal digits, with a leading '-' for signed types: no
// blanks, no '+', nothing after the digits, and within T's range.
template <typename T>
std::optional<T> ParseInt(std::string_view text) {
  static_assert(std::is_integral_v<T>);
  T value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
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
