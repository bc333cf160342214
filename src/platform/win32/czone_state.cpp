#include "platform/czone_state.h"

#include <stdlib.h>
#include <time.h>

namespace qv::platform {

CRuntimeZoneState ReadCRuntimeZone() {
  CRuntimeZoneState s;
  s.daylight = _daylight != 0 ? 1 : 0;  // some runtimes keep other non-zero values
  s.seconds_west = _timezone;
  s.standard_name = _tzname[0] ? _tzname[0] : "";
  s.daylight_name = _tzname[1] ? _tzname[1] : "";
  if (const char* tz = getenv("TZ")) s.tz = tz;
  return s;
}

void ClearCRuntimeDaylight() { _daylight = 0; }

}  // namespace qv::platform
