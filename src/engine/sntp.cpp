#include "engine/sntp.h"

#include <cstdio>
#include <cstring>

#include "engine/run_query.h"
#include "engine/time_text.h"
#include "platform/clock.h"
#include "platform/ctime.h"

namespace qv::engine {

namespace {

// NTP seconds = Unix seconds + kNtpFromUnixDelta, and back with the other,
// both modulo 2^32 (1900 to 1970).
constexpr std::uint32_t kNtpFromUnixDelta = 2208988800u;  // 0x83AA7E80
constexpr std::uint32_t kUnixFromNtpDelta = 2085978496u;  // 0x7C558180
// The short scale 4294.967 (2^32 / 10^6 is 4294.967296) errs by at most
// 70 ns, below the microseconds kept; its inverse takes the largest
// fraction to 1000000.
constexpr double kMicrosToFraction = 4294.967;
constexpr double kFractionToMicros = 0.00023283065970006292;  // 1 / 4294.967
constexpr double kMicrosToSeconds = 1e-6;
// A round trip or a server hold time above this is not believable.
constexpr double kPlausibilityLimit = 10.0;
constexpr double kOffsetFactor = 0.5;
constexpr std::int64_t kSecondsPerHour = 3600;

// The request's header bytes 0-3: leap indicator 3 (unsynchronised),
// version 3, mode 3 (client); stratum 0; poll 2^4 s; precision 2^-6 s.
constexpr std::uint8_t kRequestFlags = 0xDB;
constexpr std::uint8_t kRequestPoll = 4;
constexpr std::uint8_t kRequestPrecision = 0xFA;
constexpr std::uint32_t kRequestRootDelay = 0x00010000;       // 1.0 s, 16.16
constexpr std::uint32_t kRequestRootDispersion = 0x00010000;  // 1.0 s, 16.16

std::uint32_t LoadBe32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Truncates towards zero; values the type cannot hold saturate rather than
// being undefined (only a clock read before 1970 produces them).
std::uint32_t TruncateToU32(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(v);
}

double ToSeconds(MicroTime t) { return t.seconds + t.micros * kMicrosToSeconds; }

}  // namespace

MicroTime NowMicroTime() { return MicroTimeFromFileTime(platform::SystemClock().UtcFileTime()); }

MicroTime MicroTimeFromFileTime(std::int64_t file_time) {
  std::int64_t micros_since_1970 = (file_time - platform::kFileTimeUnixEpoch) / 10;
  MicroTime t;
  t.seconds = static_cast<std::uint32_t>(micros_since_1970 / 1000000);
  t.micros = static_cast<std::uint32_t>(micros_since_1970 % 1000000);
  return t;
}

void BuildSntpRequest(std::uint8_t request[kSntpPacketSize]) {
  std::memset(request, 0, kSntpPacketSize);
  request[0] = kRequestFlags;
  request[1] = 0;  // stratum
  request[2] = kRequestPoll;
  request[3] = kRequestPrecision;
  StoreBe32(request + 4, kRequestRootDelay);
  StoreBe32(request + 8, kRequestRootDispersion);
  StoreBe32(request + 12, 0);  // reference identifier

  MicroTime now = NowMicroTime();
  StoreBe32(request + sntp_field::kTransmit, now.seconds + kNtpFromUnixDelta);
  StoreBe32(request + sntp_field::kTransmit + 4, TruncateToU32(now.micros * kMicrosToFraction));
}

void NtpToMicroTime(std::uint8_t timestamp[8]) {
  std::uint32_t seconds = LoadBe32(timestamp) + kUnixFromNtpDelta;
  std::uint32_t micros = TruncateToU32(LoadBe32(timestamp + 4) * kFractionToMicros);
  std::memcpy(timestamp, &seconds, 4);
  std::memcpy(timestamp + 4, &micros, 4);
}

MicroTime LoadMicroTime(const std::uint8_t* converted) {
  MicroTime t;
  std::memcpy(&t.seconds, converted, 4);
  std::memcpy(&t.micros, converted + 4, 4);
  return t;
}

int CheckSntpReply(const std::uint8_t converted_reply[kSntpPacketSize], MicroTime arrival, double& offset,
                   std::string& status, std::string& detail, int reference_check, int reference_hours) {
  MicroTime ref = LoadMicroTime(converted_reply + sntp_field::kReference);
  double t_ref = ToSeconds(ref);
  double t1 = ToSeconds(LoadMicroTime(converted_reply + sntp_field::kOriginate));
  double t2 = ToSeconds(LoadMicroTime(converted_reply + sntp_field::kReceive));
  double t3 = ToSeconds(LoadMicroTime(converted_reply + sntp_field::kTransmit));
  double t4 = ToSeconds(arrival);

  if (reference_check) {
    double limit = static_cast<double>(static_cast<std::int64_t>(reference_hours) * kSecondsPerHour);
    if (t2 < t_ref || t2 - t_ref > limit) {
      status = "ERROR (SNTP: ReferenceTimestamp)";
      detail = platform::FormatCTime(ref.seconds, "%c") + "." + std::to_string(ref.micros);
      return 0;
    }
  }
  if (t4 < t1 || t4 - t1 > kPlausibilityLimit) {
    status = "ERROR (SNTP: Bad Response)";
    return 0;
  }
  if (t3 < t2 || t3 - t2 > kPlausibilityLimit) {
    status = "ERROR (SNTP: Server Throughput)";
    return 0;
  }
  // RFC 4330 section 5: offset = ((T2 - T1) + (T3 - T4)) / 2.
  offset = ((t2 - t1) + (t3 - t4)) * kOffsetFactor;
  return 1;
}

int QuerySntpOffset(const std::string& server, int timeout, int beep, int reference_check, int reference_hours,
                    std::string* server_time, std::string* pc_time, double* offset, std::string& status,
                    std::string& detail) {
  int error_code = 0;
  std::uint8_t reply[kSntpPacketSize] = {};
  MicroTime arrival;
  int ok = RunQuery(kSntp, server, timeout, beep, reply, kSntpPacketSize, &arrival, status, error_code);

  if (pc_time) {
    *pc_time = FormatLocalNow();  // after the query, whatever its outcome
  }
  if (!ok) {
    detail = std::to_string(error_code);
    return 0;
  }

  double scratch = 0.0;
  if (!CheckSntpReply(reply, arrival, offset ? *offset : scratch, status, detail, reference_check,
                      reference_hours)) {
    return 0;
  }
  if (server_time) *server_time = FormatServerTime(LoadMicroTime(reply + sntp_field::kTransmit));
  return 1;
}

std::string FormatServerTime(MicroTime t) { return platform::FormatCTime(t.seconds, "%a %b %d %H:%M:%S %Y"); }

std::string FormatMicroTime(MicroTime t) {
  char micros[16];
  std::snprintf(micros, sizeof micros, "%06u", static_cast<unsigned>(t.micros));
  return platform::FormatCTime(t.seconds, "%a %b %d %Y %H:%M:%S") + "." + micros;
}

}  // namespace qv::engine
