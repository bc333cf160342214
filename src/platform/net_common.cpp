// The OS-neutral part of the socket services: dotted addresses and the
// choice between the system's resolver and a test's.
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

NetResult<std::uint32_t> ResolveIPv4(const std::string& name) {
  if (const ResolverFn& resolver = TestResolver()) return resolver(name);
  // Some systems answer an empty name with the local machine's own
  // addresses; a missing server name is no server.
  if (name.empty()) return {0, kWsaHostNotFound};
  return detail::SystemResolveIPv4(name);
}

void SetResolverForTesting(ResolverFn resolver) { TestResolver() = std::move(resolver); }

}  // namespace qv::platform
