// The command line as the operating system hands it over.
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

// The whole command line text in UTF-8, program path included (Windows keeps
// one such text per process; the C runtime's argv of a Windows program loses
// every character outside the ANSI code page). nullopt where the system
// passes separate arguments only (argv is then the command line).
std::optional<std::string> NativeCommandLine();

}  // namespace qv::platform
