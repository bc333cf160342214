// Process-level operating-system services.
#pragma once

#include <functional>
#include <string>

namespace qv::platform {

// Full path of the running executable (UTF-8).
std::string ExecutablePath();
// The executable's file name without folder and extension ("Quorvel").
std::string ExecutableBaseName();
// Sounds the speaker (Windows) or the terminal bell (elsewhere), or the
// sink a GUI host set.
void Beep(unsigned frequency_hz, unsigned duration_ms);
// Where Beep sounds instead: a GUI host's display bell (a program started
// from the desktop has no terminal). nullptr brings the system's sound back.
using BeepSink = void (*)(unsigned frequency_hz, unsigned duration_ms);
void SetBeepSink(BeepSink sink);
void SleepMs(unsigned ms);

// Runs `body` on a thread of its own that nobody joins. False, with `body`
// never run, when the system cannot start another thread.
bool StartDetachedThread(std::function<void()> body);

}  // namespace qv::platform
