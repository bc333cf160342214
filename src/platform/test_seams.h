// Where tests replace operating-system services with fakes. Product code
// never includes this header; each replacement lasts until it is undone.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/net.h"

namespace qv::platform {

class Clock;

// The clock every reading and setting goes through; nullptr restores the
// real one.
void SetClockForTesting(Clock* clock);

// How long a set of the clock waits for the helper that sets it for a
// process without the right (Linux: systemd-timedated); 0 restores the
// product's wait. Linux only.
void SetClockHelperWaitForTesting(std::chrono::milliseconds wait);

// Replaces the captured OS zone by a TZ-style value (an IANA name or a POSIX
// rule); nullptr brings back the captured one. False where the OS zone
// cannot be replaced (Windows) or the value names no zone.
bool SetOsZoneForTesting(const char* tz);

// Replaces the name lookup (so that no query leaves the machine for a name
// server); an empty function restores the system's.
using ResolverFn = std::function<NetResult<std::vector<IpAddress>>(const std::string& name)>;
void SetResolverForTesting(ResolverFn resolver);

// Receives every Beep instead of the speaker; an empty function restores it.
using BeepFn = std::function<void(unsigned frequency_hz, unsigned duration_ms)>;
void SetBeepForTesting(BeepFn beep);

// Makes StartDetachedThread fail as when the system has no thread to give.
void FailThreadStartsForTesting(bool fail);

// The points of a FileTransaction's change at which a test may act (read
// the file from another process, or end this one).
enum class FileStep {
  kLocked,          // the lock is held and the contents read
  kStaged,          // the new contents are on disk beside the file, not yet the file
  kReplaced,        // the new file has replaced the old, the lock is still held
  kRecoveryCopied,  // writing in place: the recovery copy is on disk, the file untouched
  kWrittenInPlace,  // writing in place: another piece is written (`bytes` so far)
};
// Called at each step; an empty function removes it.
using FileStepFn = std::function<void(FileStep step, std::size_t bytes)>;
void SetFileStepHookForTesting(FileStepFn hook);

}  // namespace qv::platform
