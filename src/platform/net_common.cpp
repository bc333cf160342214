// The OS-neutral part of the socket services: address texts and the choice
// between the system's resolver and a test's.
#include <utility>

#include "platform/net.h"
#include "platform/net_system.h"
#include "platform/test_seams.h"

namespace qv::platform {

namespace {

ResolverFn& TestResolver() {
  static ResolverFn resolver;
  return resolver;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// RFC 4291 section 2.2: eight groups of one to four hexadecimal digits; one
// "::" stands for one or more zero groups; the last two groups may be
// written as a dotted IPv4 address.
std::optional<IpAddress> ParseIpv6(std::string_view text) {
  std::uint16_t groups[8] = {};
  int count = 0;
  int gap = -1;  // where "::" stands, in groups
  std::size_t i = 0;
  if (text.substr(0, 2) == "::") {
    gap = 0;
    i = 2;
  }
  while (i < text.size()) {
    const std::size_t colon = text.find(':', i);
    const std::string_view part = text.substr(i, colon == std::string_view::npos ? std::string_view::npos : colon - i);
    if (part.find('.') != std::string_view::npos) {
      const std::optional<std::uint32_t> v4 = colon == std::string_view::npos ? ParseDottedIPv4(part) : std::nullopt;
      if (!v4 || count > 6) return std::nullopt;
      groups[count++] = static_cast<std::uint16_t>(*v4 >> 16);
      groups[count++] = static_cast<std::uint16_t>(*v4);
      break;
    }
    if (part.empty() || part.size() > 4 || count >= 8) return std::nullopt;
    unsigned value = 0;
    for (char c : part) {
      const int digit = HexValue(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    groups[count++] = static_cast<std::uint16_t>(value);
    if (colon == std::string_view::npos) break;
    i = colon + 1;
    if (i < text.size() && text[i] == ':') {
      if (gap >= 0) return std::nullopt;
      gap = count;
      ++i;
    } else if (i == text.size()) {
      return std::nullopt;  // a single colon at the end
    }
  }
  if (gap < 0 ? count != 8 : count > 7) return std::nullopt;
  IpAddress address;
  address.family = AddressFamily::kIpv6;
  const int zeros = 8 - count;
  for (int g = 0, out = 0; g < count; ++g, ++out) {
    if (g == gap) out += zeros;
    address.bytes[2 * out] = static_cast<std::uint8_t>(groups[g] >> 8);
    address.bytes[2 * out + 1] = static_cast<std::uint8_t>(groups[g]);
  }
  return address;
}

}  // namespace

std::optional<std::uint32_t> ParseDottedIPv4(std::string_view text) {
  std::uint32_t result = 0;
  int parts = 0;
  std::size_t i = 0;
  while (parts < 4) {
    std::uint32_t part = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      part = part * 10 + static_cast<std::uint32_t>(text[i] - '0');
      ++i;
      // Three digits at most: also keeps `part` far from overflow.
      if (++digits > 3 || part > 255) return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    result = (result << 8) | part;
    ++parts;
    if (parts < 4) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
  }
  if (i != text.size()) return std::nullopt;
  return result;
}

std::optional<IpAddress> ParseIpLiteral(std::string_view text) {
  if (const std::optional<std::uint32_t> v4 = ParseDottedIPv4(text)) {
    IpAddress address;
    for (int b = 0; b < 4; ++b) address.bytes[b] = static_cast<std::uint8_t>(*v4 >> (24 - 8 * b));
    return address;
  }
  if (text.size() > 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
  return ParseIpv6(text);
}

std::string AddressText(const IpAddress& address) {
  const auto& b = address.bytes;
  if (address.family == AddressFamily::kIpv4)
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
  unsigned groups[8];
  for (int g = 0; g < 8; ++g) groups[g] = (unsigned{b[2 * g]} << 8) | b[2 * g + 1];
  // The longest run of zero groups (the first of equal ones), if two or more.
  int best = -1, best_length = 1;
  for (int g = 0; g < 8;) {
    int end = g;
    while (end < 8 && groups[end] == 0) ++end;
    if (end - g > best_length) {
      best = g;
      best_length = end - g;
    }
    g = end == g ? g + 1 : end;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (int g = 0; g < 8; ++g) {
    if (g == best) {
      text += "::";
      g += best_length - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    bool digits = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned digit = (groups[g] >> shift) & 0xF;
      if (digit != 0 || digits || shift == 0) {
        text += kHex[digit];
        digits = true;
      }
    }
  }
  if (address.scope != 0) {
    text += '%';
    text += std::to_string(address.scope);
  }
  return text;
}

NetResult<std::vector<IpAddress>> ResolveAddresses(const std::string& name) {
  if (const ResolverFn& resolver = TestResolver()) return resolver(name);
  // Some systems answer an empty name with the local machine's own
  // addresses; a missing server name is no server.
  if (name.empty()) return {{}, kWsaHostNotFound};
  return detail::SystemResolveAddresses(name);
}

void SetResolverForTesting(ResolverFn resolver) { TestResolver() = std::move(resolver); }

}  // namespace qv::platform
