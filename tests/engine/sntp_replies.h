// Hand-made SNTP replies for the codec and operation tests.
#pragma once

#include "engine/ntp.h"
#include "engine/sntp_packet.h"

namespace qv::engine::replies {

// The NTP timestamp that reads back as exactly `t`: the smallest fraction
// that does (the request's own conversion, 4294.967 per microsecond
// truncated, can read back 1 us short).
inline NtpTimestamp Stamp(MicroTime t) {
  return {t.seconds + kNtpFromUnixDelta,
          static_cast<std::uint32_t>((std::uint64_t{t.micros} * kFractionPerMilliUnits + 999) / 1000)};
}

// A reply that passes every rule: a stratum 2 server whose clock read
// `server` when it received the request sent at `sent` and answered at once.
inline SntpPacket GoodReply(std::uint32_t sent, MicroTime server) {
  SntpPacket p;
  p.version = 3;
  p.mode = 4;
  p.stratum = 2;
  p.reference = Stamp({server.seconds - 60, 0});
  p.originate = Stamp({sent, 0});
  p.receive = p.transmit = Stamp(server);
  return p;
}

// All zero but the originate timestamp, which echoes the request.
inline SntpPacket OnlyTheEcho(const SntpPacket& p) {
  SntpPacket echo;
  echo.originate = p.originate;
  return echo;
}

}  // namespace qv::engine::replies
