// An arbitrary 48-byte SNTP reply decoded and judged as the engine does,
// plus its texts; the bytes after the reply choose the arrival time and
// the reference check. Decoding loses nothing; whatever the bytes, the
// verdict is one of the SNTP ones, one reading stamped as both receive and
// transmit time is never held too long, every text is safe to show, a
// believable reply's offset is whole half-microseconds and moves a clock
// reading to a time that exists or to none, and a request's stamp reads
// back at most one microsecond short.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
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
    case Stage::kOk: {
      if (!why.empty() || verdict.offset_ns % 500 != 0) std::abort();
      const std::optional<MicroTime> moved = AddOffset(arrival, verdict.offset_ns);
      if (moved && moved->micros >= 1000000) std::abort();
      const std::string text = FormatOffset(verdict.offset_ns);
      if (text.size() < 9 || (text[0] != '+' && text[0] != '-') || text[text.size() - 7] != '.') std::abort();
      break;
    }
    case Stage::kSntpBadResponse:
      if (verdict.detail != why) std::abort();
      break;
    case Stage::kSntpReference:
    case Stage::kSntpThroughput:
      if (!why.empty()) std::abort();
      break;
    default: std::abort();
  }
  // One reading as both receive and transmit time is never held too long.
  SntpPacket one_reading = reply;
  one_reading.transmit = one_reading.receive;
  if (CheckSntpReply(one_reading, arrival, reference_check, reference_hours).stage == Stage::kSntpThroughput)
    std::abort();
  const std::int64_t back = ToMicros(ToMicroTime(ToNtpTimestamp(arrival))) - ToMicros(arrival);
  if (back != 0 && back != -1) std::abort();
  for (const NtpTimestamp& t : {reply.reference, reply.transmit}) {
    if (FormatServerTime(ToMicroTime(t)).empty() || FormatMicroTime(ToMicroTime(t)).empty()) std::abort();
  }
  return 0;
}
