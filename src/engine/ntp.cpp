#include "engine/ntp.h"

#include "platform/clock.h"
#include "platform/ctime.h"

namespace qv::engine {

namespace {

// Truncates towards zero; values the type cannot hold saturate rather than
// being undefined (only a clock read before 1970 produces them).
std::uint32_t TruncateToU32(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(v);
}

// The last year of era 0, in which a TIME answer may already come from era 1.
constexpr std::uint32_t kEraOverlapStart = kNtpEraEndUnix - 365u * 86400u;  // 2035-02-07 06:28:16 UTC

}  // namespace

MicroTime ToMicroTime(NtpTimestamp t) {
  return {t.seconds + kUnixFromNtpDelta, TruncateToU32(t.fraction * kFractionToMicros)};
}

NtpTimestamp ToNtpTimestamp(MicroTime t) {
  return {t.seconds + kNtpFromUnixDelta, TruncateToU32(t.micros * kMicrosToFraction)};
}

MicroTime MicroTimeFromFileTime(std::int64_t file_time) {
  const std::int64_t micros_since_1970 = (file_time - platform::kFileTimeUnixEpoch) / 10;
  return {static_cast<std::uint32_t>(micros_since_1970 / 1000000),
          static_cast<std::uint32_t>(micros_since_1970 % 1000000)};
}

MicroTime NowMicroTime() { return MicroTimeFromFileTime(platform::SystemClock().UtcFileTime()); }

bool MicroTimeToSystemTime(MicroTime t, platform::SystemTime& out) {
  if (!platform::BreakDownUtc(static_cast<std::int64_t>(t.seconds), out)) return false;
  out.milliseconds = static_cast<std::uint16_t>(t.micros / 1000);
  return true;
}

std::optional<std::uint32_t> TimeAnswerToUnix(std::uint32_t seconds_since_1900, MicroTime now) {
  // Modulo 2^32 the same sum serves both eras; only the refusal changes.
  if (seconds_since_1900 < kNtpFromUnixDelta && now.seconds < kEraOverlapStart) return std::nullopt;
  return seconds_since_1900 + kUnixFromNtpDelta;
}

}  // namespace qv::engine
