// Judging an SNTP reply: whether it carries a usable, believable time, and
// the clock offset it measures.
#pragma once

#include <cstdint>
#include <string>

#include "engine/micro_time.h"
#include "engine/result.h"
#include "engine/sntp_packet.h"

namespace qv::engine {

struct SntpVerdict {
  Stage stage = Stage::kOk;
  std::string detail;  // why, where the stage alone does not say
  std::int64_t offset_ns = 0;  // when believable; a multiple of 500
  std::int64_t round_trip_ns = 0;  // when believable: (T4 - T1) - (T3 - T2)
};

// In this order, the first failing rule deciding:
//   no usable time (UnusableReason)        "SNTP: Bad Response", detail the rule
//   reference check (when on): REF after T2, or T2 - REF above the hours
//                                          "SNTP: ReferenceTimestamp", detail REF
//   round trip: T4 before T1, or above 10 s  "SNTP: Bad Response"
//   hold time: T3 before T2, or above 10 s   "SNTP: Server Throughput"
// then offset = ((T2 - T1) + (T3 - T4)) / 2 and the round trip
// (T4 - T1) - (T3 - T2) (RFC 4330 section 5). No rule
// bounds the offset itself. Every time is compared and subtracted as exact
// microseconds: two equal stamps are equal on every target.
SntpVerdict CheckSntpReply(const SntpPacket& reply, MicroTime arrival, bool reference_check, int reference_hours);

}  // namespace qv::engine
