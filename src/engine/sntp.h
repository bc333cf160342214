// SNTP (RFC 1305 version 3 message, client mode): the request, timestamp
// conversions, the believability checks and the offset.
#pragma once

#include <cstdint>
#include <string>

#include "engine/micro_time.h"

namespace qv::engine {

inline constexpr int kSntpPacketSize = 48;

// Where the four 8-byte timestamps sit in the message (RFC 1305 appendix A).
namespace sntp_field {
inline constexpr int kReference = 16;  // REF: server clock last set
inline constexpr int kOriginate = 24;  // T1: our request's transmit time, echoed
inline constexpr int kReceive = 32;    // T2: request arrived at the server
inline constexpr int kTransmit = 40;   // T3: reply left the server
}  // namespace sntp_field

void BuildSntpRequest(std::uint8_t request[kSntpPacketSize]);
MicroTime NowMicroTime();
// A clock reading (100 ns ticks since 1601, UTC) as a MicroTime, by the same
// arithmetic as NowMicroTime.
MicroTime MicroTimeFromFileTime(std::int64_t file_time);
// Replaces an 8-byte NTP timestamp, in place, with a MicroTime (seconds then
// microseconds, host byte order).
void NtpToMicroTime(std::uint8_t timestamp[8]);
// Reads a MicroTime that NtpToMicroTime left in a buffer.
MicroTime LoadMicroTime(const std::uint8_t* converted);

// Judges a reply whose four timestamps were converted in place; on success
// writes ((T2 - T1) + (T3 - T4)) / 2 to offset. Status and detail texts as
// the user sees them on failure.
int CheckSntpReply(const std::uint8_t converted_reply[kSntpPacketSize], MicroTime arrival, double& offset,
                   std::string& status, std::string& detail, int reference_check, int reference_hours);

int QuerySntpOffset(const std::string& server, int timeout, int beep, int reference_check, int reference_hours,
                    std::string* server_time, std::string* pc_time, double* offset, std::string& status,
                    std::string& detail);

// "%a %b %d %H:%M:%S %Y" in the C runtime's zone; seconds read as unsigned,
// so texts run to 2106.
std::string FormatServerTime(MicroTime t);
// "%a %b %d %Y %H:%M:%S" in the C runtime's zone, then ".%06u" microseconds.
std::string FormatMicroTime(MicroTime t);

}  // namespace qv::engine
