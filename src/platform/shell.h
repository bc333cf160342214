// Shell services: the user's desktop and start-up folders, shortcuts to a
// program in them (Windows: .lnk files through the shell link object;
// elsewhere: XDG desktop entries), opening a file with the application the
// desktop associates with it, and deleting a file. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::platform {

enum class ShellFolder {
  kDesktop,  // the user's desktop
  kStartup,  // programs started at log-on (Windows start-up group, XDG autostart)
};

// The folder's path, without a trailing separator; empty when the system
// names none.
std::string ShellFolderPath(ShellFolder folder);

// How the file name of a program ends beside its profile name: ".exe" on
// Windows, nothing elsewhere.
std::string_view ExecutableSuffix();

// The shortcut called `name` in `folder`: "<folder>\<name>.lnk" on Windows,
// "<folder>/<name>.desktop" elsewhere.
std::string ShortcutPath(const std::string& folder, const std::string& name);

// Makes the shortcut, replacing one of that path: it starts `target` in a
// normal window, with no working folder, icon, hot key or description of its
// own; `name` is what the desktop shows where the file name is not used.
// A missing folder is created. False when nothing usable was written.
bool MakeShortcut(const std::string& shortcut_path, const std::string& target, const std::string& name);

// The program a shortcut starts; empty when the file is no shortcut.
std::string ShortcutTarget(const std::string& shortcut_path);

// Deletes a file. True when it is gone, also when there was none.
bool RemoveFile(const std::string& path);

// Asks the desktop to open the file with its default application and
// returns without waiting for it. `owner` is the window that owns whatever
// the shell shows (0: none). False when the request could not be made.
bool OpenWithDefaultApplication(const std::string& path, std::intptr_t owner);

}  // namespace qv::platform
