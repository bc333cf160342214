// The settings program's start-up, from its argument text to the end of its
// dialog.
#pragma once

#include <string_view>

#include "settings/settings_dialog.h"

namespace qv::settings {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;  // no sockets, or started without a profile

// Runs the program on the installed host: sockets, the debug switch,
// "-profile=" (without it: message 107, nothing else), "-geohwnd=", then the
// settings dialog, modally. `services` replaces the real profile, engine and
// shell where a member is set (tests).
int RunSettingsProgram(std::string_view args, Services services = {});

}  // namespace qv::settings
