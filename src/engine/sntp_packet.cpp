#include "engine/sntp_packet.h"

#include "engine/time_text.h"

namespace qv::engine {

namespace {
// Byte offsets of the fields (the diagram in the header).
constexpr int kRootDelay = 4, kRootDispersion = 8, kReferenceId = 12;
constexpr int kReference = 16, kOriginate = 24, kReceive = 32, kTransmit = 40;

constexpr std::uint8_t kLeapUnsynchronised = 3;
constexpr std::uint8_t kModeClient = 3, kModeServer = 4;
constexpr std::uint8_t kOurVersion = 3, kLowestVersion = 1, kHighestVersion = 4;
constexpr std::uint8_t kKissOfDeath = 0, kHighestStratum = 15;
}  // namespace

SntpPacket DecodeSntp(const SntpBytes& b) {
  SntpPacket p;
  p.leap = static_cast<std::uint8_t>(b[0] >> 6);
  p.version = static_cast<std::uint8_t>((b[0] >> 3) & 7);
  p.mode = static_cast<std::uint8_t>(b[0] & 7);
  p.stratum = b[1];
  p.poll = b[2];
  p.precision = static_cast<std::int8_t>(b[3]);
  p.root_delay = LoadBe32(&b[kRootDelay]);
  p.root_dispersion = LoadBe32(&b[kRootDispersion]);
  p.reference_id = LoadBe32(&b[kReferenceId]);
  p.reference = LoadNtpTimestamp(&b[kReference]);
  p.originate = LoadNtpTimestamp(&b[kOriginate]);
  p.receive = LoadNtpTimestamp(&b[kReceive]);
  p.transmit = LoadNtpTimestamp(&b[kTransmit]);
  return p;
}

SntpBytes EncodeSntp(const SntpPacket& p) {
  SntpBytes b{};
  b[0] = static_cast<std::uint8_t>(((p.leap & 3) << 6) | ((p.version & 7) << 3) | (p.mode & 7));
  b[1] = p.stratum;
  b[2] = p.poll;
  b[3] = static_cast<std::uint8_t>(p.precision);
  StoreBe32(&b[kRootDelay], p.root_delay);
  StoreBe32(&b[kRootDispersion], p.root_dispersion);
  StoreBe32(&b[kReferenceId], p.reference_id);
  StoreNtpTimestamp(&b[kReference], p.reference);
  StoreNtpTimestamp(&b[kOriginate], p.originate);
  StoreNtpTimestamp(&b[kReceive], p.receive);
  StoreNtpTimestamp(&b[kTransmit], p.transmit);
  return b;
}

SntpPacket SntpRequest(MicroTime now) {
  SntpPacket p;
  p.leap = kLeapUnsynchronised;
  p.version = kOurVersion;
  p.mode = kModeClient;
  p.poll = 4;                    // 2^4 s
  p.precision = -6;              // 2^-6 s
  p.root_delay = 0x00010000;       // 1.0 s
  p.root_dispersion = 0x00010000;  // 1.0 s
  p.transmit = ToNtpTimestamp(now);
  return p;
}

std::string UnusableReason(const SntpPacket& r) {
  if (r.mode != kModeServer) return "mode " + std::to_string(r.mode);
  if (r.version < kLowestVersion || r.version > kHighestVersion) return "version " + std::to_string(r.version);
  if (r.leap == kLeapUnsynchronised) return "leap indicator 3 (unsynchronised)";
  if (r.stratum == kKissOfDeath) {
    // RFC 5905 section 7.4: four ASCII characters, such as RATE, DENY, RSTR.
    std::string code;
    for (int shift = 24; shift >= 0; shift -= 8) code += static_cast<char>((r.reference_id >> shift) & 0xFF);
    while (!code.empty() && code.back() == '\0') code.pop_back();
    return "stratum 0, kiss code " + SanitizeServerText(code);
  }
  if (r.stratum > kHighestStratum) return "stratum " + std::to_string(r.stratum);
  if (r.receive.IsZero()) return "receive timestamp 0";
  if (r.transmit.IsZero()) return "transmit timestamp 0";
  return {};
}

}  // namespace qv::engine
