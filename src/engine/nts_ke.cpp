#include "engine/nts_ke.h"

#include <algorithm>

namespace qv::engine {

namespace {

constexpr std::uint16_t kCritical = 0x8000;
constexpr std::size_t kRecordHeader = 4;
constexpr std::size_t kMaxServerName = 255;

std::uint16_t Load16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutRecord(std::vector<std::uint8_t>& out, NtsKeRecord type, bool critical, std::initializer_list<std::uint16_t> body) {
  Put16(out, static_cast<std::uint16_t>(static_cast<std::uint16_t>(type) | (critical ? kCritical : 0)));
  Put16(out, static_cast<std::uint16_t>(body.size() * 2));
  for (std::uint16_t v : body) Put16(out, v);
}

// A name the NTP query may look up: letters, digits and the punctuation of
// host names and IPv4 / IPv6 addresses, nothing a log or a resolver could
// misread.
bool PlausibleHostName(const std::string& name) {
  if (name.empty() || name.size() > kMaxServerName) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == ':' || c == '_';
  });
}

NtsKeDecoded Refuse(std::string why) { return {std::nullopt, std::move(why)}; }

}  // namespace

std::vector<std::uint8_t> EncodeNtsKeRequest() {
  std::vector<std::uint8_t> out;
  PutRecord(out, NtsKeRecord::kNextProtocol, true, {kNtsProtocolNtpV4});
  PutRecord(out, NtsKeRecord::kAead, true, {kNtsAeadAesSivCmac256});
  PutRecord(out, NtsKeRecord::kEndOfMessage, true, {});
  return out;
}

bool NtsKeMessageComplete(const std::vector<std::uint8_t>& bytes) {
  std::size_t at = 0;
  while (bytes.size() - at >= kRecordHeader) {
    const std::uint16_t type = Load16(&bytes[at]) & ~kCritical;
    at += kRecordHeader + Load16(&bytes[at + 2]);
    if (type == static_cast<std::uint16_t>(NtsKeRecord::kEndOfMessage)) return true;
    if (at > bytes.size()) return bytes.size() > kNtsKeMaxResponse;
  }
  return bytes.size() > kNtsKeMaxResponse;
}

NtsKeDecoded DecodeNtsKeResponse(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() > kNtsKeMaxResponse) return Refuse("response larger than 64 KiB");
  NtsKeResponse response;
  bool protocol_seen = false, aead_seen = false, ended = false;
  std::size_t at = 0;
  while (at < bytes.size() && !ended) {
    if (bytes.size() - at < kRecordHeader) return Refuse("truncated record");
    const std::uint16_t raw_type = Load16(&bytes[at]);
    const bool critical = (raw_type & kCritical) != 0;
    const std::uint16_t type = raw_type & ~kCritical;
    const std::size_t length = Load16(&bytes[at + 2]);
    at += kRecordHeader;
    if (bytes.size() - at < length) return Refuse("truncated record");
    const std::uint8_t* body = &bytes[at];
    at += length;

    switch (static_cast<NtsKeRecord>(type)) {
      case NtsKeRecord::kEndOfMessage:
        if (length != 0) return Refuse("malformed end of message");
        ended = true;
        break;
      // Section 4.1.2: the server answers with exactly one protocol, one
      // we offered; the record comes once.
      case NtsKeRecord::kNextProtocol:
        if (protocol_seen) return Refuse("next protocol repeated");
        protocol_seen = true;
        if (length != 2 || Load16(body) != kNtsProtocolNtpV4) return Refuse("server refused NTPv4");
        break;
      case NtsKeRecord::kError:
        return Refuse(length == 2 ? "error record " + std::to_string(Load16(body)) : "malformed error record");
      case NtsKeRecord::kWarning:
        // Section 4.1.4: a warning the client does not know ends the exchange.
        return Refuse(length == 2 ? "warning record " + std::to_string(Load16(body)) : "malformed warning record");
      case NtsKeRecord::kAead:
        if (aead_seen) return Refuse("AEAD algorithm repeated");
        aead_seen = true;
        if (length != 2 || Load16(body) != kNtsAeadAesSivCmac256) return Refuse("server refused AES-SIV-CMAC-256");
        break;
      case NtsKeRecord::kNewCookie:
        if (length == 0 || length > kNtsMaxCookieSize) return Refuse("cookie of " + std::to_string(length) + " bytes");
        if (response.cookies.size() < kNtsMaxCookies) response.cookies.emplace_back(body, body + length);
        break;
      case NtsKeRecord::kServer: {
        std::string name(reinterpret_cast<const char*>(body), length);
        if (!PlausibleHostName(name)) return Refuse("unusable server name");
        response.server = std::move(name);
        break;
      }
      case NtsKeRecord::kPort:
        if (length != 2 || Load16(body) == 0) return Refuse("malformed port record");
        response.port = Load16(body);
        break;
      default:
        if (critical) return Refuse("unknown critical record " + std::to_string(type));
        break;  // section 4: non-critical records we do not know are ignored
    }
  }
  if (!ended) return Refuse("no end of message");
  if (at != bytes.size()) return Refuse("data after end of message");
  if (!protocol_seen) return Refuse("no next protocol record");
  if (!aead_seen) return Refuse("no AEAD algorithm record");
  if (response.cookies.empty()) return Refuse("no cookie");
  return {std::move(response), {}};
}

}  // namespace qv::engine
