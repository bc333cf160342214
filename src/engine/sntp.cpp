#include "engine/sntp.h"

#include <cstdint>

#include "engine/ntp.h"
#include "platform/ctime.h"

namespace qv::engine {

namespace {
// A round trip or a server hold time above this is not believable.
constexpr std::int64_t kPlausibilityLimit = 10 * kMicrosPerSecond;
constexpr std::int64_t kMicrosPerHour = 3600 * kMicrosPerSecond;
}  // namespace

SntpVerdict CheckSntpReply(const SntpPacket& reply, MicroTime arrival, bool reference_check, int reference_hours) {
  SntpVerdict verdict;
  if (std::string why = UnusableReason(reply); !why.empty()) {
    verdict.stage = Stage::kSntpBadResponse;
    verdict.detail = std::move(why);
    return verdict;
  }
  const MicroTime ref = ToMicroTime(reply.reference);
  const std::int64_t t_ref = ToMicros(ref);
  const std::int64_t t1 = ToMicros(ToMicroTime(reply.originate));
  const std::int64_t t2 = ToMicros(ToMicroTime(reply.receive));
  const std::int64_t t3 = ToMicros(ToMicroTime(reply.transmit));
  const std::int64_t t4 = ToMicros(arrival);

  // Any hours, even negative, fit: 2^31 h is 7.7e18 us.
  if (reference_check && (t2 < t_ref || t2 - t_ref > reference_hours * kMicrosPerHour)) {
    verdict.stage = Stage::kSntpReference;
    verdict.detail = platform::FormatCTime(ref.seconds, "%c") + "." + std::to_string(ref.micros);
    return verdict;
  }
  if (t4 < t1 || t4 - t1 > kPlausibilityLimit) {
    verdict.stage = Stage::kSntpBadResponse;
    return verdict;
  }
  if (t3 < t2 || t3 - t2 > kPlausibilityLimit) {
    verdict.stage = Stage::kSntpThroughput;
    return verdict;
  }
  // Half of a whole number of microseconds: exact in nanoseconds.
  verdict.offset_ns = ((t2 - t1) + (t3 - t4)) * (kNanosPerMicro / 2);
  verdict.round_trip_ns = ((t4 - t1) - (t3 - t2)) * kNanosPerMicro;
  return verdict;
}

}  // namespace qv::engine
