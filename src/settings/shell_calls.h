// The shell services the settings dialog uses, behind an interface so that
// tests watch them without touching the user's desktop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shell.h"

namespace qv::settings {

class ShellCalls {
 public:
  virtual ~ShellCalls() = default;
  virtual std::string FolderPath(platform::ShellFolder folder) = 0;
  // The real shell gives the shortcut the main program's icon and look.
  virtual bool MakeShortcut(const std::string& path, const std::string& target, const std::string& name) = 0;
  virtual bool RemoveShortcut(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool Open(const std::string& path, std::intptr_t owner) = 0;
};

// The system's shell.
ShellCalls& RealShell();

// The main program a profile belongs to: the profile's path up to its last
// "." with the executable ending of the system.
std::string MainProgramPath(const std::string& profile_path);

// The shortcut name as UTF-8, the form shortcuts are written in. A profile
// the Windows programs wrote holds it in their code page, which a system
// whose profiles are UTF-8 reads byte for byte: text that is not UTF-8 is
// decoded as CP932, the programs' Japanese code page. nullopt when it is
// neither.
std::optional<std::string> ShortcutNameText(std::string_view stored);

// A shortcut name that stays inside its folder: no path separator, not "."
// or "..". ("ApplicationName" is set by hand.)
bool IsPlainFileName(const std::string& name);

}  // namespace qv::settings
