#include "platform/command_line.h"

namespace qv::platform {

std::optional<std::string> NativeCommandLine() { return std::nullopt; }

}  // namespace qv::platform
