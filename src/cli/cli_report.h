// What quorvel-cli prints for monitoring: one JSON object per result, or the
// one status line with performance data that monitoring plugins print.
// Every number is formatted from integers: the same text on every target.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/result.h"

namespace qv::cli {

// "2026-12-07T20:51:03.123456Z" from microseconds since 1970 (UTC).
std::string IsoUtc(std::int64_t unix_us);

// Nanoseconds as decimal seconds with `decimals` places (0..9), rounded
// half away from zero; "-" before a negative value.
std::string SecondsText(std::int64_t ns, int decimals);

// A JSON string literal (RFC 8259 section 7): quotes, backslashes and
// control characters escaped; UTF-8 passes, a byte that is not part of a
// well-formed UTF-8 sequence becomes U+FFFD (a Windows argument may be in
// the ANSI code page).
std::string JsonString(std::string_view text);

// The reference identifier as text: four ASCII characters for stratum 0
// (a kiss code) and 1 (a source such as "GPS"), trailing NULs dropped and
// anything unprintable as '?'; a dotted IPv4 address above that.
std::string ReferenceIdText(int stratum, std::uint32_t reference_id);

// The offset a result measured: SNTP's, else the server's UTC time less
// the PC's (TIME and DAYTIME: whole seconds, read after the answer came).
std::optional<std::int64_t> MeasuredOffsetNs(const engine::Result& result);

// One result as one JSON object on one line (no line end): server,
// address, protocol, mode, status, detail, server_text, server_time,
// pc_time, offset, round_trip (seconds), stratum, reference_id; null where
// the result has no such value.
std::string JsonLine(const std::string& server, int protocol, const engine::Result& result);

// Monitoring plugins' exit statuses.
enum class PluginState { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

struct Checked {
  std::string server;
  engine::Result result;
};

struct PluginReport {
  PluginState state = PluginState::kUnknown;
  std::string line;  // no line end
};

// The one status line for the results of `checked` (at least one): the
// offset's size beyond `crit_ns` is CRITICAL, beyond `warn_ns` WARNING, no
// offset at all (no answer) UNKNOWN. Of several servers the worst state
// wins, in the order CRITICAL, WARNING, UNKNOWN, OK (the first server of
// that state named in the text); the performance data has one offset per
// server that measured one.
//   "NTP OK: Offset 0.001234 secs|offset=0.001234s;60.000000;120.000000;"
PluginReport MonitoringReport(int protocol, const std::vector<Checked>& checked, std::optional<std::int64_t> warn_ns,
                              std::optional<std::int64_t> crit_ns);

}  // namespace qv::cli
