#include "profile/int_scan.h"

#include <climits>
#include <cstddef>
#include <optional>

namespace qv::profile {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// One "%i" number at text[pos]; advances pos past it.
std::optional<int> ScanOne(std::string_view text, std::size_t& pos) {
  std::size_t p = pos;
  while (p < text.size() && IsSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  if (p >= text.size() || DigitValue(text[p]) > 9) return std::nullopt;

  int base = 10;
  if (text[p] == '0') {
    base = 8;
    // "0x" counts only when a hexadecimal digit follows; "0xg" is 0 then "xg".
    if (p + 2 < text.size() && (text[p + 1] == 'x' || text[p + 1] == 'X') && DigitValue(text[p + 2]) < 16) {
      base = 16;
      p += 2;
    }
  }
  long long magnitude = 0;
  for (; p < text.size() && DigitValue(text[p]) < base; ++p) {
    if (magnitude <= INT_MAX) magnitude = magnitude * base + DigitValue(text[p]);
  }
  pos = p;
  if (negative) magnitude = -magnitude;
  if (magnitude > INT_MAX) return INT_MAX;
  if (magnitude < INT_MIN) return INT_MIN;
  return static_cast<int>(magnitude);
}

}  // namespace

int ScanInts(std::string_view text, std::string_view format, std::initializer_list<int*> outputs) {
  const auto* next_output = outputs.begin();
  int assigned = 0;
  std::size_t pos = 0;
  for (std::size_t f = 0; f < format.size(); ++f) {
    char fc = format[f];
    if (fc == '%' && f + 1 < format.size() && format[f + 1] == 'i') {
      ++f;
      if (next_output == outputs.end()) break;
      std::optional<int> value = ScanOne(text, pos);
      if (!value) break;
      if (*next_output) **next_output = *value;
      ++next_output;
      ++assigned;
    } else if (IsSpace(fc)) {
      while (pos < text.size() && IsSpace(text[pos])) ++pos;
    } else {
      if (fc == '%' && f + 1 < format.size() && format[f + 1] == '%') ++f;
      if (pos >= text.size() || text[pos] != fc) break;
      ++pos;
    }
  }
  return assigned;
}

}  // namespace qv::profile
