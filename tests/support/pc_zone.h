// A PC outside Japan: America/New_York where the OS zone can be replaced
// (Linux), else the system's own (Wine's). The fake clock reads kMoment and
// its local time there; the seam and the shown zone are put back after.
#pragma once

#include "engine/time_text.h"
#include "platform/ctime.h"
#include "platform/test_seams.h"
#include "support/fake_clock.h"

namespace qv::test {

struct PcZone {
  static constexpr std::int64_t kMoment = 1767657903;  // Tue 2026-01-06 00:05:03 UTC
  static constexpr const char* kJapan = "Tue Jan 06 09:05:03 2026";
  static constexpr const char* kNewYork = "Mon Jan 05 19:05:03 2026";

  explicit PcZone(FakeClock& clock) : new_york(platform::SetOsZoneForTesting("America/New_York")) {
    clock.SetUnixTime(kMoment);
    platform::SystemTime local;
    if (platform::UtcToOsLocal(platform::kFileTimeUnixEpoch + kMoment * platform::kFileTicksPerSecond, local))
      clock.SetLocalReading(local);
    pc_line = engine::FormatLocalNow();
  }
  ~PcZone() {
    if (new_york) platform::SetOsZoneForTesting(nullptr);
    platform::SetShownZone(platform::ShownZone::kCRuntime);
  }
  const bool new_york;
  std::string pc_line;  // the PC time line at kMoment, as the engine writes it
};

}  // namespace qv::test
