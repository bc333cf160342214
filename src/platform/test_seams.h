// Where tests replace operating-system services with fakes. Product code
// never includes this header; each replacement lasts until it is undone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv::platform {

class Clock;

// The clock every reading and setting goes through; nullptr restores the
// real one.
void SetClockForTesting(Clock* clock);

// Replaces the captured OS zone by a TZ-style value (an IANA name or a POSIX
// rule); nullptr brings back the captured one. False where the OS zone
// cannot be replaced (Windows) or the value names no zone.
bool SetOsZoneForTesting(const char* tz);

// Replaces the name lookup (so that no query leaves the machine for a name
// server); an empty function restores the system's.
using ResolverFn = std::function<int(const std::string& name, std::uint32_t& address)>;
void SetResolverForTesting(ResolverFn resolver);

// Receives every Beep instead of the speaker; an empty function restores it.
using BeepFn = std::function<void(unsigned frequency_hz, unsigned duration_ms)>;
void SetBeepForTesting(BeepFn beep);

// Makes StartDetachedThread fail as when the system has no thread to give.
void FailThreadStartsForTesting(bool fail);

}  // namespace qv::platform
