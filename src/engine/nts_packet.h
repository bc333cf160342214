// The NTP message with NTS extension fields (RFC 7822, RFC 8915 section 5):
// the client's request and the checks on the server's reply.
//
// Extension field (RFC 7822 section 3), after the 48-byte header:
//  |          Field Type           |        Length (whole field)   |
//  |                 Value, padded to a multiple of 4 ...          |
// NTS Authenticator and Encrypted Extension Fields (RFC 8915 section 5.6):
//  |          Nonce Length         |       Ciphertext Length       |
//  |                 Nonce, padded to a multiple of 4 ...          |
//  |               Ciphertext, padded to a multiple of 4 ...       |
//  |                       Additional Padding ...                  |
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/sntp_packet.h"

namespace qv::engine {

enum class NtsField : std::uint16_t {
  kUniqueIdentifier = 0x0104,
  kCookie = 0x0204,
  kCookiePlaceholder = 0x0304,
  kAuthenticator = 0x0404,
};

inline constexpr std::size_t kNtsUniqueIdSize = 32;  // section 5.3: at least 32
inline constexpr std::size_t kNtsNonceSize = 16;
// RFC 7822 section 3: no field is shorter than this.
inline constexpr std::size_t kMinExtensionField = 16;
// What a reply may be at most: header, identifier, authenticator and eight
// cookies of the largest size kept.
inline constexpr std::size_t kNtsMaxDatagram = 12 * 1024;

struct ExtensionField {
  std::uint16_t type = 0;
  std::size_t offset = 0;  // of the field's header within the message
  std::vector<std::uint8_t> body;  // the value with its padding
};

// Appends one field, its value padded with zeros to a multiple of 4 and to
// at least kMinExtensionField in all.
void AppendExtensionField(std::vector<std::uint8_t>& message, NtsField type, const std::uint8_t* value,
                          std::size_t size);

// The fields from `offset` to the end; nothing when one is shorter than
// kMinExtensionField, not a multiple of 4 or runs past the end.
std::optional<std::vector<ExtensionField>> ParseExtensionFields(const std::vector<std::uint8_t>& message,
                                                                std::size_t offset);

struct NtsAuthenticator {
  std::vector<std::uint8_t> nonce;
  std::vector<std::uint8_t> ciphertext;
};
// An authenticator's value, or nothing when its lengths do not fit.
std::optional<NtsAuthenticator> DecodeAuthenticator(const std::vector<std::uint8_t>& body);

struct NtsRequestParts {
  SntpBytes header{};
  std::vector<std::uint8_t> unique_id;  // kNtsUniqueIdSize random bytes
  std::vector<std::uint8_t> cookie;
  int placeholders = 0;                 // cookies asked for beyond the one replaced
  std::vector<std::uint8_t> nonce;      // kNtsNonceSize random bytes
};

// The request, sealed with the client-to-server key: identifier, cookie,
// placeholders of the cookie's size, then the authenticator over all of it
// with nothing encrypted. Nothing when the key cannot seal.
std::optional<std::vector<std::uint8_t>> EncodeNtsRequest(const NtsRequestParts& parts,
                                                          const std::vector<std::uint8_t>& c2s_key);

enum class NtsReplyCheck : std::uint8_t {
  kOk,
  kMalformed,        // not a message with valid extension fields
  kOtherRequest,     // no or another unique identifier: not our reply
  kNak,              // stratum 0, kiss code NTSN, our identifier
  kNoAuthenticator,
  kBadAuthenticator, // does not verify with the server-to-client key
};

struct NtsReplyOpened {
  NtsReplyCheck check = NtsReplyCheck::kMalformed;
  SntpBytes header{};
  std::vector<std::vector<std::uint8_t>> cookies;  // from the encrypted fields
};

// A reply as RFC 8915 section 5.7 has the client judge it. Only fields that
// the authenticator covers count: the identifier must come before it, and
// cookies come from its encrypted fields alone.
NtsReplyOpened OpenNtsReply(const std::vector<std::uint8_t>& message, const std::vector<std::uint8_t>& unique_id,
                            const std::vector<std::uint8_t>& s2c_key);

}  // namespace qv::engine
