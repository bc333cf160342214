// Rules of the settings dialog that need no window: where it goes over the
// main window, the daily time the clock button fills in, the time display's
// formats.
#pragma once

#include "ui/dialog.h"

namespace qv::settings {

// Where a window of rectangle `window` goes so that its centre lies on the
// centre of `anchor` (each centre the sum of the two edges halved, the
// remainder dropped), pulled into `work` by exactly its overhang (bottom and
// right first, then top and left); a window that would sit exactly on the
// work area's top-left corner goes 1 pixel to the right.
ui::Point PlaceOver(const ui::Rect& window, const ui::Rect& anchor, const ui::Rect& work);

// The daily time one minute after hour:minute; 59 carries into the next
// hour and 23:59 wraps to 0:00.
struct HourMinute {
  int hour = 0;
  int minute = 0;
  friend bool operator==(const HourMinute&, const HourMinute&) = default;
};
HourMinute NextMinute(int hour, int minute);

// The strftime format of the current-time display: 0 time, 1 date and
// time, 2 the DAYTIME form; anything else shows the time.
const char* ClockFormat(int format);

}  // namespace qv::settings
