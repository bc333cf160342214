#include "engine/ntp.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/ctime.h"

namespace qv::engine {

namespace {

// The last year of era 0, in which a TIME answer may already come from era 1.
constexpr std::uint32_t kEraOverlapStart = kNtpEraEndUnix - 365u * 86400u;  // 2035-02-07 06:28:16 UTC

}  // namespace

MicroTime ToMicroTime(NtpTimestamp t) {
  // Fraction x 1000 fits 64 bits; the largest gives 1000000.
  return {t.seconds + kUnixFromNtpDelta, static_cast<std::uint32_t>(t.fraction * 1000ull / kFractionPerMilliUnits)};
}

NtpTimestamp ToNtpTimestamp(MicroTime t) {
  // A reading's microseconds stay below 1000000, so the fraction fits.
  const std::uint64_t fraction = std::uint64_t{t.micros} * kFractionPerMilliUnits / 1000u;
  return {t.seconds + kNtpFromUnixDelta, static_cast<std::uint32_t>(std::min<std::uint64_t>(fraction, 0xFFFFFFFFu))};
}

std::optional<MicroTime> AddOffset(MicroTime now, std::int64_t offset_ns) {
  constexpr std::int64_t kNanosPerSecond = kMicrosPerSecond * kNanosPerMicro;
  constexpr std::int64_t kEnd = (std::int64_t{1} << 32) * kNanosPerSecond;  // 4.3e18
  // Each term within 2^32 s (4.3e18 ns) keeps the sum within 64 bits.
  if (offset_ns <= -kEnd || offset_ns >= kEnd) return std::nullopt;
  const std::int64_t ns = ToMicros(now) * kNanosPerMicro + offset_ns;
  if (ns < 0 || ns >= kEnd) return std::nullopt;
  return MicroTime{static_cast<std::uint32_t>(ns / kNanosPerSecond),
                   static_cast<std::uint32_t>(ns % kNanosPerSecond / kNanosPerMicro)};
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
