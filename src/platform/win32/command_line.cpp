#include "platform/command_line.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace qv::platform {

std::optional<std::string> ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return line ? Narrow(line, lstrlenW(line)) : std::string();
}

}  // namespace qv::platform
