// The main program from start to end: the single-instance lock, sockets,
// the command line and the profile, the time zone and its records, then
// one modal run of the main dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "main/dialup_check.h"
#include "main/engine_calls.h"
#include "main/settings_launch.h"

namespace qv::main {

struct StartupOptions {
  std::string executable_path;  // names the lock, the window property and the profile
  std::string argument_text;    // the command line without the program
  // What the dialog works with; nullptr: the real ones (the engine behind
  // the query runner, the system's dial-up state, the settings process).
  EngineCalls* engine = nullptr;
  DialupProbe* dialup = nullptr;
  SettingsProgram* settings = nullptr;
  std::function<std::int64_t()> now_ms;  // a monotonic clock in milliseconds
  std::function<void(unsigned, unsigned)> beep;
};

// Runs the program on the current host; returns its exit code: 0 after the
// main dialog, 1 when it did not start (another instance, no sockets).
int RunMainProgram(const StartupOptions& options);

}  // namespace qv::main
