// AEAD_AES_SIV_CMAC_256 (RFC 5297, RFC 5116 interface) and random bytes for
// the authenticated NTP exchange. Where the build has no crypto library,
// every call fails: nothing is ever reported sealed or opened that was not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv::platform {

inline constexpr std::size_t kSivKeySize = 32;
inline constexpr std::size_t kSivTagSize = 16;

// Whether this build can seal, open and draw random bytes at all.
bool AeadAvailable();

// The synthetic IV (16 bytes) followed by the ciphertext; the nonce is the
// last component of the associated data (RFC 5297 section 3). Nothing on a
// wrong key size or a library failure.
std::optional<std::vector<std::uint8_t>> SivSeal(const std::vector<std::uint8_t>& key,
                                                 const std::uint8_t* nonce, std::size_t nonce_size,
                                                 const std::uint8_t* ad, std::size_t ad_size,
                                                 const std::uint8_t* plain, std::size_t plain_size);
// The plaintext of what SivSeal made, or nothing when it does not verify.
std::optional<std::vector<std::uint8_t>> SivOpen(const std::vector<std::uint8_t>& key,
                                                 const std::uint8_t* nonce, std::size_t nonce_size,
                                                 const std::uint8_t* ad, std::size_t ad_size,
                                                 const std::uint8_t* sealed, std::size_t sealed_size);

// Unpredictable bytes (nonces, identifiers); false when there are none.
bool RandomBytes(std::uint8_t* out, std::size_t size);

}  // namespace qv::platform
