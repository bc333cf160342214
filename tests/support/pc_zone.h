// A PC in another zone than the programs' fixed one: America/New_York where
// the OS zone can be replaced (Linux), else the system's own (under Wine,
// Wine's). The fake clock reads the moment, its local reading in that zone.
// The seam and the zone times are shown in are given back at the end.
#pragma once

#include <cstdint>

#include "engine/time_text.h"
#include "platform/ctime.h"
#include "platform/test_seams.h"
#include "support/fake_clock.h"

namespace qv::test {

class PcZone {
 public:
  // Tue 2026-01-06 00:05:03 UTC: "Tue Jan 06 09:05:03 2026" in Japan time,
  // "Mon Jan 05 19:05:03 2026" in New York.
  static constexpr std::int64_t kMoment = 1767657903;
  static constexpr const char* kJapan = "Tue Jan 06 09:05:03 2026";
  static constexpr const char* kNewYork = "Mon Jan 05 19:05:03 2026";

  explicit PcZone(FakeClock& clock) : new_york_(platform::SetOsZoneForTesting("America/New_York")) {
    clock.SetUnixTime(kMoment);
    platform::SystemTime local;
    if (platform::UtcToOsLocal(platform::kFileTimeUnixEpoch + kMoment * platform::kFileTicksPerSecond, local))
      clock.SetLocalReading(local);
    pc_line_ = engine::FormatLocalNow();
  }
  ~PcZone() {
    if (new_york_) platform::SetOsZoneForTesting(nullptr);
    platform::SetShownZone(platform::ShownZone::kCRuntime);
  }
  PcZone(const PcZone&) = delete;
  PcZone& operator=(const PcZone&) = delete;

  bool new_york() const { return new_york_; }
  // The PC time line at the moment, as the engine writes it.
  const std::string& pc_line() const { return pc_line_; }
  // False where the PC's zone is Japan time too: nothing to tell apart.
  bool differs() const { return pc_line_ != kJapan; }

 private:
  bool new_york_;
  std::string pc_line_;
};

}  // namespace qv::test
