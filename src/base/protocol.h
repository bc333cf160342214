// The three time protocols: their numbers (as the profile stores them and
// the logs and command lines name them) in one place for every layer.
#pragma once

#include <optional>
#include <string_view>

namespace qv {

enum Protocol : int {
  kSntp = 0,     // SNTP over UDP
  kTime = 1,     // TIME (RFC 868) over TCP
  kDaytime = 2,  // DAYTIME (RFC 867) over TCP
};

// "SNTP", "time", "daytime"; empty for any other number.
constexpr std::string_view ProtocolWord(int protocol) {
  switch (protocol) {
    case kSntp: return "SNTP";
    case kTime: return "time";
    case kDaytime: return "daytime";
    default: return {};
  }
}

// The number of a protocol word, exactly as ProtocolWord spells it.
constexpr std::optional<int> ProtocolFromWord(std::string_view word) {
  for (int p : {kSntp, kTime, kDaytime}) {
    if (word == ProtocolWord(p)) return p;
  }
  return std::nullopt;
}

}  // namespace qv
