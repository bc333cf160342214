// The C-runtime time zone (the process's TZ, fixed by the main program at
// start) and time texts rendered in it. 64-bit time functions on every
// target, so texts stay right beyond 2038.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace qv::platform {

// Puts TZ=<value> into the process environment (inherited by child
// processes) and makes the runtime re-read it; captures the OS zone first
// (clock.h) so that it stays the zone the process started with. False when
// the environment cannot be changed.
bool SetCRuntimeZone(const std::string& value);

// The zone the programs show times in (server times, the clock display):
// the C-runtime zone unless the user chose the PC's own zone, which makes
// them read as the PC time does. Process-wide and safe from any thread, so
// a running program can switch it without touching TZ, which the C library
// reads unguarded on other threads.
enum class ShownZone { kCRuntime, kOs };
void SetShownZone(ShownZone zone);
ShownZone CurrentShownZone();

// strftime of Unix seconds in the zone times are shown in (above); empty
// when the time cannot be broken down.
std::string FormatCTime(std::int64_t unix_seconds, const char* format);
// The same, always in the C-runtime zone.
std::string FormatCRuntimeTime(std::int64_t unix_seconds, const char* format);

// UTC break-down (gmtime, independent of any zone). False when out of range.
bool BreakDownUtc(std::int64_t unix_seconds, SystemTime& out);

}  // namespace qv::platform
