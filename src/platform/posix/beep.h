// Where Beep sounds on Linux: the terminal bell unless a GUI host routes it
// to its display (a program started from the desktop has no terminal).
#pragma once

namespace qv::platform {

using BeepSink = void (*)(unsigned frequency_hz, unsigned duration_ms);
// nullptr brings the terminal bell back.
void SetBeepSink(BeepSink sink);

}  // namespace qv::platform
