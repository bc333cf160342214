// Shell services: the user's desktop and start-up folders, shortcuts to a
// program in them (Windows: .lnk files through the shell link object;
// elsewhere: XDG desktop entries), opening a file with the application the
// desktop associates with it, and deleting a file. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// What a desktop shows of a shortcut beyond its name (XDG entries; a Windows
// shortcut leaves them to the shell: no description, the target's icon).
struct ShortcutLook {
  std::string comment;       // a line the desktop shows as a hint
  std::string icon_path;     // an image file; empty: the desktop's default
  std::string window_class;  // the class of the program's windows, which the desktop groups under the shortcut
};

// Makes the shortcut, replacing one of that path in one step (nothing else is
// left in the folder, not even for a moment under a name the desktop reads):
// it starts `target` in a normal window, with no working folder or hot key;
// `name` is what the desktop shows where the file name is not used. A
// missing folder is created. False when nothing usable was written, also
// when a text cannot be written as the format needs (XDG: UTF-8 without
// control characters).
bool MakeShortcut(const std::string& shortcut_path, const std::string& target, const std::string& name,
                  const ShortcutLook& look = {});

// A square image, rows top-down, 0xAARRGGBB.
struct IconPixels {
  int size = 0;
  std::vector<std::uint32_t> argb;
};

// Puts a program's icon where the desktop looks for the user's own icons
// (XDG: "<name>.png" in the hicolor theme of $XDG_DATA_HOME/icons, one file
// per size) and returns the path of the largest, for a shortcut to name.
// Empty when nothing was installed; always on Windows, whose shortcuts show
// their target's own icon.
std::string InstallIcon(const std::string& name, const std::vector<IconPixels>& images);

// The program a shortcut starts; empty when the file is no shortcut.
std::string ShortcutTarget(const std::string& shortcut_path);

// Deletes a file. True when it is gone, also when there was none.
bool RemoveFile(const std::string& path);
// Deletes a shortcut, and what earlier versions of this program left beside
// it. True when it is gone, also when there was none.
bool RemoveShortcut(const std::string& shortcut_path);

// Asks the desktop to open the file with its default application and
// returns without waiting for it. `owner` is the window that owns whatever
// the shell shows (0: none). False when the request could not be made.
bool OpenWithDefaultApplication(const std::string& path, std::intptr_t owner);

}  // namespace qv::platform
