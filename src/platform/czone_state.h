// The C runtime's own time-zone state (what it converts and formats local
// times with), as the main program records it at start.
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

struct CRuntimeZoneState {
  int daylight = 0;             // the runtime's daylight-saving flag
  long seconds_west = 0;        // its offset: seconds west of UTC
  std::string standard_name;    // its name of the standard-time zone
  std::string daylight_name;    // its name of the daylight-time zone
  std::optional<std::string> tz;  // the environment's TZ; nullopt when unset
};

CRuntimeZoneState ReadCRuntimeZone();

// Sets the runtime's daylight-saving flag to 0, without re-reading TZ.
void ClearCRuntimeDaylight();

}  // namespace qv::platform
