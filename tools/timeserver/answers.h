// What the server sends, as pure functions of the request, the clock
// readings and the options (no sockets here).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

namespace qv::timeserver {

// Nanoseconds since 1970-01-01 UTC.
using UnixNanos = std::int64_t;

// 64-bit NTP timestamp (RFC 5905 section 6): seconds since 1900 modulo 2^32,
// then the fraction in units of 2^-32 s, rounded to the nearest unit.
std::uint64_t NtpTimestamp(UnixNanos t);

// The SNTP reply to `request` received at `t2` and sent at `t3` (both already
// offset), shaped by the fault options; empty when the request is too short
// to answer.
std::vector<std::uint8_t> SntpReply(const std::uint8_t* request, std::size_t size, UnixNanos t2, UnixNanos t3,
                                    const Options& options);

// RFC 868: seconds since 1900, 32 bits big-endian.
std::vector<std::uint8_t> TimeReply(UnixNanos now, const Options& options);

// RFC 867: one line of text, in the process's TZ for the correct shape.
std::string DaytimeReply(UnixNanos now, const Options& options);

}  // namespace qv::timeserver
