// Setting the clock through systemd-timedated on the system bus, for a
// process without CAP_SYS_TIME. Polkit decides whether the user may; its
// agent may ask for a password, so the call waits a while.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/clock.h"

namespace qv::platform::posix {

inline constexpr const char* kTimedatedName = "systemd-timedated";

// Long enough to type a password into polkit's agent; bounded, because the
// dialog's thread waits for the answer.
inline constexpr std::chrono::milliseconds kTimedatedWait{60000};

// Asks timedated to set UTC to `unix_usec` (microseconds since 1970).
// Success carries set_by kTimedatedName; a refusal says why.
ClockSet SetThroughTimedated(std::int64_t unix_usec);

}  // namespace qv::platform::posix
