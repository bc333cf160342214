// The engine's time value.
#pragma once

#include <cstdint>

namespace qv::engine {

// Seconds since 1970-01-01 00:00:00 UTC (modulo 2^32) and microseconds within
// that second.
struct MicroTime {
  std::uint32_t seconds = 0;
  std::uint32_t micros = 0;
  friend bool operator==(const MicroTime&, const MicroTime&) = default;
};

}  // namespace qv::engine
