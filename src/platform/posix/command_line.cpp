#include "platform/command_line.h"

namespace qv::platform {

std::optional<std::string> ProcessCommandLine() { return std::nullopt; }

}  // namespace qv::platform
