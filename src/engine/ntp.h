// NTP timestamps and the constants that relate them to MicroTime and to the
// system's file time; the engine's one home for big-endian loads and stores.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/micro_time.h"
#include "platform/clock.h"

namespace qv::engine {

// Seconds from 1900-01-01 (the epoch of NTP and TIME) to 1970-01-01, and
// its complement: adding it subtracts the first, both modulo 2^32.
inline constexpr std::uint32_t kNtpFromUnixDelta = 2208988800u;  // 0x83AA7E80
inline constexpr std::uint32_t kUnixFromNtpDelta = 2085978496u;  // 0x7C558180
// 2036-02-07 06:28:16 UTC, where NTP's 32-bit seconds (era 0) wrap.
inline constexpr std::uint32_t kNtpEraEndUnix = kUnixFromNtpDelta;

// The short scale 4294.967 fraction units per microsecond (2^32 / 10^6 is
// 4294.967296) errs by at most 70 ns, below the microseconds kept; its
// inverse takes the largest fraction to 1000000. Both conversions are done
// in integers, as the exact ratio 4294967 / 1000: the same on every target.
inline constexpr std::uint64_t kFractionPerMilliUnits = 4294967;  // fraction units per 1000 us
inline constexpr std::int64_t kMicrosPerSecond = 1000000;
inline constexpr std::int64_t kNanosPerMicro = 1000;

constexpr std::uint32_t LoadBe32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

constexpr void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// An NTP timestamp as on the wire: seconds since 1900 and the fraction of a
// second in units of 2^-32 s (RFC 5905 section 6), in host byte order.
struct NtpTimestamp {
  std::uint32_t seconds = 0;
  std::uint32_t fraction = 0;
  bool IsZero() const { return seconds == 0 && fraction == 0; }
  friend bool operator==(const NtpTimestamp&, const NtpTimestamp&) = default;
};

constexpr NtpTimestamp LoadNtpTimestamp(const std::uint8_t* p) { return {LoadBe32(p), LoadBe32(p + 4)}; }
constexpr void StoreNtpTimestamp(std::uint8_t* p, NtpTimestamp t) {
  StoreBe32(p, t.seconds);
  StoreBe32(p + 4, t.fraction);
}

// Seconds modulo 2^32 (a zero timestamp reads as 2036), microseconds =
// fraction / 4294.967 truncated; fractions of 0xFFFFFED8 and above give
// 1000000.
MicroTime ToMicroTime(NtpTimestamp t);
// Seconds + 2208988800 modulo 2^32, fraction = microseconds x 4294.967
// truncated.
NtpTimestamp ToNtpTimestamp(MicroTime t);

// A MicroTime as microseconds since 1970: time arithmetic and comparisons
// are made on these, exactly (a MicroTime of 1000000 microseconds is the
// next second).
constexpr std::int64_t ToMicros(MicroTime t) { return t.seconds * kMicrosPerSecond + t.micros; }

// `now` moved by `offset_ns`, microseconds truncated; nothing when the
// result lies before 1970 or beyond what 32-bit seconds hold.
std::optional<MicroTime> AddOffset(MicroTime now, std::int64_t offset_ns);

// The 100 ns ticks since 1601 of a clock reading as a MicroTime.
MicroTime MicroTimeFromFileTime(std::int64_t file_time);
// The platform clock's UTC reading now.
MicroTime NowMicroTime();
// The UTC break-down (gmtime), milliseconds from the microseconds; false
// when the seconds cannot be broken down.
bool MicroTimeToSystemTime(MicroTime t, platform::SystemTime& out);

// A TIME answer (RFC 868: seconds since 1900) as Unix seconds, or nothing
// when it names a moment before 1970. From one year before era 0 ends
// (judged by `now`), values below 2208988800 are read in era 1 (2036-2106)
// instead, so that TIME keeps working past 2036.
std::optional<std::uint32_t> TimeAnswerToUnix(std::uint32_t seconds_since_1900, MicroTime now);

}  // namespace qv::engine
