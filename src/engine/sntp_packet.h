// The 48-byte SNTP message (RFC 4330; the RFC 1305 version 3 layout),
// decoded once into its fields and encoded from them:
//
//   0                   1                   2                   3
//   0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//  |LI | VN  |Mode |    Stratum    |     Poll      |   Precision   |   0
//  |                          Root Delay                           |   4
//  |                       Root Dispersion                         |   8
//  |                     Reference Identifier                      |  12
//  |                   Reference Timestamp (64)                    |  16
//  |                   Originate Timestamp (64)                    |  24
//  |                    Receive Timestamp (64)                     |  32
//  |                    Transmit Timestamp (64)                    |  40
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/micro_time.h"
#include "engine/ntp.h"

namespace qv::engine {

inline constexpr int kSntpPacketSize = 48;
using SntpBytes = std::array<std::uint8_t, kSntpPacketSize>;

struct SntpPacket {
  std::uint8_t leap = 0;     // 0..3; 3: clock not synchronised
  std::uint8_t version = 0;  // 0..7
  std::uint8_t mode = 0;     // 0..7; 3 client, 4 server
  std::uint8_t stratum = 0;  // 0: kiss-o'-death, 16 and above: unsynchronised
  std::uint8_t poll = 0;
  std::int8_t precision = 0;
  std::uint32_t root_delay = 0;       // 16.16 seconds
  std::uint32_t root_dispersion = 0;  // 16.16 seconds
  std::uint32_t reference_id = 0;     // with stratum 0: the kiss code, 4 ASCII bytes
  NtpTimestamp reference;  // REF: the server's clock last set
  NtpTimestamp originate;  // T1: our request's transmit time, echoed
  NtpTimestamp receive;    // T2: the request arrived at the server
  NtpTimestamp transmit;   // T3: the reply left the server
  friend bool operator==(const SntpPacket&, const SntpPacket&) = default;
};

SntpPacket DecodeSntp(const SntpBytes& bytes);
SntpBytes EncodeSntp(const SntpPacket& packet);

// Our request: leap indicator 3, version 3, client mode, poll 2^4 s,
// precision 2^-6 s, root delay and dispersion 1.0 s, the transmit
// timestamp `now`. On the wire it begins DB 00 04 FA 00 01 00 00 00 01 00 00.
SntpPacket SntpRequest(MicroTime now);

// Why a reply carries no time to set a clock from (RFC 4330 section 5): not
// a server's reply, an unknown version, an unsynchronised or kiss-o'-death
// server, or a zero receive or transmit timestamp. Empty when it may carry
// one. The text is safe to show and log.
std::string UnusableReason(const SntpPacket& reply);

}  // namespace qv::engine
