// An arbitrary 48-byte SNTP reply decoded and judged as the engine does,
// plus its texts; the bytes after the reply choose the arrival time and
// the reference check. Decoding loses nothing, and whatever the bytes, the
// verdict is one of the SNTP ones and every text is safe to show.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/ntp.h"
#include "engine/sntp.h"
#include "engine/sntp_packet.h"
#include "engine/time_text.h"
#include "platform/ctime.h"

namespace {
bool Printable(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::engine;
  static const bool zone_set = qv::platform::SetCRuntimeZone("JST-9");
  (void)zone_set;
  if (size < static_cast<std::size_t>(kSntpPacketSize)) return 0;

  SntpBytes bytes;
  std::memcpy(bytes.data(), data, bytes.size());
  const SntpPacket reply = DecodeSntp(bytes);
  if (EncodeSntp(reply) != bytes) std::abort();
  for (const NtpTimestamp& t : {reply.reference, reply.originate, reply.receive, reply.transmit}) {
    if (ToMicroTime(t).micros > 1000000) std::abort();
  }

  std::uint8_t extra[10] = {};
  std::memcpy(extra, data + kSntpPacketSize, std::min<std::size_t>(sizeof extra, size - kSntpPacketSize));
  MicroTime arrival;
  std::memcpy(&arrival.seconds, extra, 4);
  std::memcpy(&arrival.micros, extra + 4, 4);
  arrival.micros %= 1000000;
  const bool reference_check = extra[8] & 1;
  const int reference_hours = static_cast<std::int8_t>(extra[9]) * 1000;

  const std::string why = UnusableReason(reply);
  if (!Printable(why)) std::abort();
  const SntpVerdict verdict = CheckSntpReply(reply, arrival, reference_check, reference_hours);
  switch (verdict.stage) {
    case Stage::kOk:
      if (!why.empty() || !std::isfinite(verdict.offset)) std::abort();
      break;
    case Stage::kSntpBadResponse:
      if (verdict.detail != why) std::abort();
      break;
    case Stage::kSntpReference:
    case Stage::kSntpThroughput:
      if (!why.empty()) std::abort();
      break;
    default: std::abort();
  }
  for (const NtpTimestamp& t : {reply.reference, reply.transmit}) {
    if (FormatServerTime(ToMicroTime(t)).empty() || FormatMicroTime(ToMicroTime(t)).empty()) std::abort();
  }
  return 0;
}
