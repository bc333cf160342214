// The shell services the settings dialog uses, behind an interface so that
// tests watch them without touching the user's desktop.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shell.h"

namespace qv::settings {

class ShellCalls {
 public:
  virtual ~ShellCalls() = default;
  virtual std::string FolderPath(platform::ShellFolder folder) = 0;
  virtual bool MakeShortcut(const std::string& path, const std::string& target, const std::string& name) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool Open(const std::string& path, std::intptr_t owner) = 0;
};

// The system's shell.
ShellCalls& RealShell();

// The main program a profile belongs to: the profile's path up to its last
// "." with the executable ending of the system.
std::string MainProgramPath(const std::string& profile_path);

// A shortcut name that stays inside its folder: no path separator, not "."
// or "..". ("ApplicationName" is set by hand.)
bool IsPlainFileName(const std::string& name);

}  // namespace qv::settings
