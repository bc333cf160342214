#include "engine/sntp.h"

#include <cstdint>

#include "engine/ntp.h"
#include "platform/ctime.h"

namespace qv::engine {

namespace {
// A round trip or a server hold time above this is not believable.
constexpr double kPlausibilityLimit = 10.0;
constexpr double kOffsetFactor = 0.5;
constexpr std::int64_t kSecondsPerHour = 3600;
}  // namespace

SntpVerdict CheckSntpReply(const SntpPacket& reply, MicroTime arrival, bool reference_check, int reference_hours) {
  SntpVerdict verdict;
  if (std::string why = UnusableReason(reply); !why.empty()) {
    verdict.stage = Stage::kSntpBadResponse;
    verdict.detail = std::move(why);
    return verdict;
  }
  const MicroTime ref = ToMicroTime(reply.reference);
  const double t_ref = ToSeconds(ref);
  const double t1 = ToSeconds(ToMicroTime(reply.originate));
  const double t2 = ToSeconds(ToMicroTime(reply.receive));
  const double t3 = ToSeconds(ToMicroTime(reply.transmit));
  const double t4 = ToSeconds(arrival);

  if (reference_check) {
    const double limit = static_cast<double>(static_cast<std::int64_t>(reference_hours) * kSecondsPerHour);
    if (t2 < t_ref || t2 - t_ref > limit) {
      verdict.stage = Stage::kSntpReference;
      verdict.detail = platform::FormatCTime(ref.seconds, "%c") + "." + std::to_string(ref.micros);
      return verdict;
    }
  }
  if (t4 < t1 || t4 - t1 > kPlausibilityLimit) {
    verdict.stage = Stage::kSntpBadResponse;
    return verdict;
  }
  if (t3 < t2 || t3 - t2 > kPlausibilityLimit) {
    verdict.stage = Stage::kSntpThroughput;
    return verdict;
  }
  verdict.offset = ((t2 - t1) + (t3 - t4)) * kOffsetFactor;
  return verdict;
}

}  // namespace qv::engine
