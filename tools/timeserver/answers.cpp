#include "answers.h"

#include <time.h>

#include <algorithm>

#include "base/text.h"

namespace qv::timeserver {

namespace {

constexpr std::int64_t kNanosPerSecond = 1000000000;
constexpr std::int64_t kSeconds1900To1970 = 2208988800;

// Reply offsets (RFC 5905 figure 8).
constexpr std::size_t kPacketSize = 48;
constexpr std::size_t kReference = 16;
constexpr std::size_t kOriginate = 24;
constexpr std::size_t kReceive = 32;
constexpr std::size_t kTransmit = 40;

void Store32(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

void Store64(std::uint8_t* out, std::uint64_t value) {
  Store32(out, static_cast<std::uint32_t>(value >> 32));
  Store32(out + 4, static_cast<std::uint32_t>(value));
}

std::uint32_t Load32(const std::uint8_t* in) {
  return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) | in[3];
}

UnixNanos Seconds(double seconds) { return static_cast<UnixNanos>(seconds * 1e9); }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::string Strftime(UnixNanos now, const char* format, bool utc) {
  const time_t seconds = static_cast<time_t>(FloorDiv(now, kNanosPerSecond));
  tm parts{};
  if (!(utc ? gmtime_r(&seconds, &parts) : localtime_r(&seconds, &parts))) return "?";
  char text[128];
  const std::size_t length = strftime(text, sizeof text, format, &parts);
  return std::string(text, length);
}

}  // namespace

std::uint64_t NtpTimestamp(UnixNanos t) {
  const std::int64_t seconds = FloorDiv(t, kNanosPerSecond);
  const std::uint64_t nanos = static_cast<std::uint64_t>(t - seconds * kNanosPerSecond);
  std::uint64_t fraction = ((nanos << 32) + kNanosPerSecond / 2) / kNanosPerSecond;
  std::uint64_t ntp_seconds = static_cast<std::uint64_t>(seconds + kSeconds1900To1970);
  if (fraction >> 32) {  // rounded up into the next second
    fraction = 0;
    ++ntp_seconds;
  }
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(ntp_seconds)) << 32) | fraction;
}

std::vector<std::uint8_t> SntpReply(const std::uint8_t* request, std::size_t size, UnixNanos t2, UnixNanos t3,
                                    const Options& options) {
  if (size < kPacketSize) return {};
  std::vector<std::uint8_t> reply(kPacketSize, 0);
  int version = (request[0] >> 3) & 7;
  if (version == 0) version = 3;
  if (options.version) version = *options.version;
  reply[0] = static_cast<std::uint8_t>((options.leap << 6) | (version << 3) | options.mode);
  reply[1] = static_cast<std::uint8_t>(options.stratum);
  reply[2] = request[2];                                      // poll: echo the client's
  reply[3] = static_cast<std::uint8_t>(-20);                  // precision about 1 us
  Store32(&reply[8], 0x00000010);                             // root dispersion 0.24 ms
  Store32(&reply[12], options.kiss ? *options.kiss : 0x7F7F0100);  // reference id 127.127.1.0
  if (options.zero_header) std::fill(reply.begin(), reply.begin() + kReference, 0);
  if (!options.ref_zero && !options.zero_reference)
    Store64(&reply[kReference], NtpTimestamp(t2 - Seconds(options.ref_age)));

  std::copy(request + kTransmit, request + kTransmit + 8, &reply[kOriginate]);
  if (options.wrong_originate) Store32(&reply[kOriginate], Load32(&reply[kOriginate]) - 1);

  if (options.hold) t3 = t2 + Seconds(*options.hold);
  if (!options.zero_receive) Store64(&reply[kReceive], NtpTimestamp(options.swap_stamps ? t3 : t2));
  if (!options.zero_transmit) Store64(&reply[kTransmit], NtpTimestamp(options.swap_stamps ? t2 : t3));

  reply.resize(static_cast<std::size_t>(options.sntp_length), 0);
  return reply;
}

std::vector<std::uint8_t> TimeReply(UnixNanos now, const Options& options) {
  const std::uint32_t value =
      options.time_value ? *options.time_value
                         : static_cast<std::uint32_t>(FloorDiv(now, kNanosPerSecond) + kSeconds1900To1970);
  std::vector<std::uint8_t> reply(4);
  Store32(reply.data(), value);
  reply.resize(static_cast<std::size_t>(options.time_bytes));
  return reply;
}

std::string DaytimeReply(UnixNanos now, const Options& options) {
  const std::string line = Strftime(now, "%a %b %e %H:%M:%S %Y", false);
  switch (options.daytime) {
    case DaytimeShape::kCorrect: return line + "\r\n";
    case DaytimeShape::kNoLineFeed: return line;
    case DaytimeShape::kLong: {
      std::string text = line;
      text.resize(600, '-');
      return text + "\r\n";
    }
    case DaytimeShape::kOther: {
      std::string text = Strftime(now, "%d %b %Y %H:%M:%S UTC", true);
      std::transform(text.begin(), text.end(), text.begin(), AsciiUpper);
      return text + "\r\n";
    }
    case DaytimeShape::kText: return options.daytime_text;
  }
  return line + "\r\n";
}

}  // namespace qv::timeserver
