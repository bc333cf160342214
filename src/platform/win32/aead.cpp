// This build carries no AES-SIV: every call fails, so an authenticated
// query can only ever fail here, never pass unauthenticated.
#include "platform/aead.h"

namespace qv::platform {

bool AeadAvailable() { return false; }

std::optional<std::vector<std::uint8_t>> SivSeal(const std::vector<std::uint8_t>&, const std::uint8_t*, std::size_t,
                                                 const std::uint8_t*, std::size_t, const std::uint8_t*, std::size_t) {
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> SivOpen(const std::vector<std::uint8_t>&, const std::uint8_t*, std::size_t,
                                                 const std::uint8_t*, std::size_t, const std::uint8_t*, std::size_t) {
  return std::nullopt;
}

bool RandomBytes(std::uint8_t*, std::size_t) { return false; }

}  // namespace qv::platform
