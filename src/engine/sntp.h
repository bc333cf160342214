// SNTP (RFC 1305 version 3 message, client mode): the request, timestamp
// conversions, the believability checks and the offset.
#pragma once

#include <cstdint>
#include <string>

#include "engine/micro_time.h"

namespace qv::engine {

inline constexpr int kSntpPacketSize = 48;

void BuildSntpRequest(std::uint8_t request[kSntpPacketSize]);
MicroTime NowMicroTime();
// Replaces an 8-byte NTP timestamp, in place, with a MicroTime (seconds then
// microseconds, host byte order).
void NtpToMicroTime(std::uint8_t timestamp[8]);
// Reads a MicroTime that NtpToMicroTime left in a buffer.
MicroTime LoadMicroTime(const std::uint8_t* converted);

int CheckSntpReply(const std::uint8_t converted_reply[kSntpPacketSize], MicroTime arrival, double& offset,
                   std::string& status, std::string& detail, int reference_check, int reference_hours);

int QuerySntpOffset(const std::string& server, int timeout, int beep, int reference_check, int reference_hours,
                    std::string* server_time, std::string* pc_time, double* offset, std::string& status,
                    std::string& detail);

std::string FormatServerTime(MicroTime t);
std::string FormatMicroTime(MicroTime t);

}  // namespace qv::engine
