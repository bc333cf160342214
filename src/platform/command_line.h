// The process's own command line, where the system keeps one.
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

// Windows: the whole command line as the process was started with it
// (UTF-8). Elsewhere nullopt: only the argument vector exists.
std::optional<std::string> ProcessCommandLine();

}  // namespace qv::platform
