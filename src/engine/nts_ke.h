// NTS Key Establishment records (RFC 8915 section 4): what the client sends
// over TLS and what it reads back, decoded once.
//
//   0                   1                   2                   3
//   0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//  |C|         Record Type         |          Body Length          |
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//  |                          Record Body ...                      |
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::engine {

inline constexpr std::uint16_t kNtsKeDefaultPort = 4460;
inline constexpr std::uint16_t kNtsProtocolNtpV4 = 0;
inline constexpr std::uint16_t kNtsAeadAesSivCmac256 = 15;
// Whatever a server says, more than this is not a key exchange answer.
inline constexpr std::size_t kNtsKeMaxResponse = 64 * 1024;
// Cookies kept from one exchange; the rest are dropped.
inline constexpr std::size_t kNtsMaxCookies = 8;
// A cookie larger than this would not fit a datagram with its placeholders.
inline constexpr std::size_t kNtsMaxCookieSize = 1024;

enum class NtsKeRecord : std::uint16_t {
  kEndOfMessage = 0,
  kNextProtocol = 1,
  kError = 2,
  kWarning = 3,
  kAead = 4,
  kNewCookie = 5,
  kServer = 6,
  kPort = 7,
};

// The client's request: NTPv4 and AES-SIV-CMAC-256, both critical, then
// End of Message.
std::vector<std::uint8_t> EncodeNtsKeRequest();

// Whether `bytes` holds a whole message yet: true once an End of Message
// record has arrived, or the bytes can never become a valid message.
bool NtsKeMessageComplete(const std::vector<std::uint8_t>& bytes);

struct NtsKeResponse {
  std::vector<std::vector<std::uint8_t>> cookies;  // at most kNtsMaxCookies
  std::string server;  // the NTP server to use; empty: the key exchange server
  std::optional<std::uint16_t> port;  // empty: 123
};

struct NtsKeDecoded {
  std::optional<NtsKeResponse> response;
  std::string error;  // why there is none ("error record 1", "no cookie", ...)
};

// A server's whole answer, judged as RFC 8915 section 4 asks: the protocol
// and algorithm must be the ones asked for, an Error or a Warning (we know
// of none to ignore) or an unknown critical record ends it, bytes after End
// of Message or a truncated record make it malformed, and at least one
// cookie must come.
NtsKeDecoded DecodeNtsKeResponse(const std::vector<std::uint8_t>& bytes);

}  // namespace qv::engine
