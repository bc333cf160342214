// A server's time as text, by any protocol: TIME (RFC 868) seconds since
// 1900, the first line of a DAYTIME (RFC 867) answer, or the transmit time
// of an SNTP reply taken as it is.
#include "engine/query_server_time.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/query_job.h"
#include "engine/run_query.h"
#include "engine/sntp.h"

namespace qv::engine {

namespace {

constexpr std::size_t kReplyBufferSize = 512;
constexpr int kTimeReplySize = 4;
// NTP seconds of 1970-01-01; adding the second constant subtracts it modulo
// 2^32.
constexpr std::uint32_t kSeconds1900To1970 = 2208988800u;
constexpr std::uint32_t kNtpToUnixSeconds = 2085978496u;

int ReplySize(int protocol) {
  switch (protocol) {
    case kSntp: return kSntpPacketSize;
    case kTime: return kTimeReplySize;
    default: return static_cast<int>(kReplyBufferSize);
  }
}

// The first line as received, its carriage return kept; empty without a
// line feed. The text ends at the first NUL or at the end of the buffer, so
// a full buffer without any NUL is never read past.
std::string FirstLine(const std::uint8_t* reply, std::size_t size) {
  const std::uint8_t* end = std::find(reply, reply + size, 0);
  const std::uint8_t* line_feed = std::find(reply, end, '\n');
  if (line_feed == end) return {};
  return std::string(reinterpret_cast<const char*>(reply), static_cast<std::size_t>(line_feed - reply));
}

}  // namespace

int QueryServerTime(int protocol, const std::string& server, int timeout, int beep, std::string& server_time,
                    std::string& status, int& error_code) {
  // Zeros stand for every byte that did not arrive.
  std::array<std::uint8_t, kReplyBufferSize> reply{};
  std::string query_status;
  if (!RunQuery(protocol, server, timeout, beep, reply.data(), ReplySize(protocol), nullptr, query_status,
                error_code)) {
    status = query_status;
    return 0;
  }

  if (protocol == kTime) {
    const std::uint32_t value = (std::uint32_t{reply[0]} << 24) | (std::uint32_t{reply[1]} << 16) |
                                (std::uint32_t{reply[2]} << 8) | std::uint32_t{reply[3]};
    if (value < kSeconds1900To1970) {
      status = "ERROR (TIME:IncorrectPacket)";
      server_time.clear();
      error_code = 0;
      return 0;
    }
    server_time = FormatServerTime(MicroTime{value + kNtpToUnixSeconds, 0});
  } else if (protocol == kDaytime) {
    server_time = FirstLine(reply.data(), reply.size());
  } else {
    server_time = FormatServerTime(LoadMicroTime(reply.data() + sntp_field::kTransmit));
  }
  status = "OK";
  return 1;
}

}  // namespace qv::engine
