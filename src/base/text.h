// Small text rules shared by every layer: strict decimal integers and ASCII
// case folding (never the C library's, which follows the locale).
#pragma once

#include <charconv>
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

}  // namespace qv
