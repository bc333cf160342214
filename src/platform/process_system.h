// What each OS's process file provides to the OS-neutral part of process.h.
#pragma once

namespace qv::platform::detail {

// The OS's own sound: the speaker on Windows, the terminal bell elsewhere.
void SystemBeep(unsigned frequency_hz, unsigned duration_ms);

}  // namespace qv::platform::detail
