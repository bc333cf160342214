#include "platform/command_line.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace qv::platform {

std::optional<std::string> NativeCommandLine() {
  const wchar_t* text = GetCommandLineW();
  return text ? Narrow(std::wstring(text)) : std::string();
}

}  // namespace qv::platform
