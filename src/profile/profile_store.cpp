#include "profile/profile_store.h"

#include <climits>

namespace qv::profile {

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::optional<int> ParseProfileInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || DigitValue(text[i]) > 9) return std::nullopt;
  int base = 10;
  if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") {
    if (i + 2 < text.size() && DigitValue(text[i + 2]) < 16) {
      base = 16;
      i += 2;
    }
  }
  // Accumulate the magnitude as a negative number so INT_MIN fits.
  long long value = 0;
  for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
    if (value > LLONG_MIN / 100) value = value * base - DigitValue(text[i]);
  }
  if (!negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string ProfileStore::ReadString(std::string_view section, std::string_view key) const {
  return Lookup(section, key).value_or(std::string());
}

int ProfileStore::ReadInt(std::string_view section, std::string_view key, int fallback) const {
  std::optional<std::string> text = Lookup(section, key);
  if (!text) return fallback;
  return ParseProfileInt(*text).value_or(fallback);
}

bool ProfileStore::WriteInt(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool ProfileStore::ClearSection(std::string_view section) {
  WriteString(section, std::nullopt, std::nullopt);
  WriteInt(section, section, 0);
  return WriteString(section, section, std::nullopt);
}

}  // namespace qv::profile
