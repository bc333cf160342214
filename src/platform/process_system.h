// What each OS's process file provides to the OS-neutral part of process.h.
#pragma once

namespace qv::platform::detail {

// The OS's own sound: the speaker on Windows, the terminal bell elsewhere.
void SystemBeep(unsigned frequency_hz, unsigned duration_ms);

// Once, before the first thread starts: threads share the process's heap
// (where the C library would give each its own, at a cost that weighs in
// a program that lives for one query).
void ShareHeapWithThreads();

}  // namespace qv::platform::detail
