#include "platform/czone_state.h"

#include <stdlib.h>
#include <time.h>

namespace qv::platform {

CRuntimeZoneState ReadCRuntimeZone() {
  CRuntimeZoneState s;
  s.daylight = daylight != 0 ? 1 : 0;
  s.seconds_west = timezone;
  s.standard_name = tzname[0] ? tzname[0] : "";
  s.daylight_name = tzname[1] ? tzname[1] : "";
  if (const char* tz = getenv("TZ")) s.tz = tz;
  return s;
}

void ClearCRuntimeDaylight() { daylight = 0; }

}  // namespace qv::platform
