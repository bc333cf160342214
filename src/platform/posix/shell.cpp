// XDG desktop entries (the freedesktop.org format) stand for shortcuts;
// xdg-open opens files with the desktop's default application.
#include "platform/shell.h"

#include <errno.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/file.h"

extern char** environ;

namespace qv::platform {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string Home() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

// $XDG_CONFIG_HOME when it is absolute, as the base directory rules say.
std::string ConfigHome() {
  std::string config = Env("XDG_CONFIG_HOME");
  return config.starts_with('/') ? config : Home() + "/.config";
}

// XDG_DESKTOP_DIR of user-dirs.dirs, which the xdg-user-dirs tools keep:
// lines of the form XDG_DESKTOP_DIR="$HOME/Desktop" or an absolute path.
std::string DesktopFromUserDirs() {
  const FileContents file = ReadWholeFile(ConfigHome() + "/user-dirs.dirs");
  if (file.status != FileContents::Status::kOk) return {};
  std::string_view rest = file.bytes;
  constexpr std::string_view kKey = "XDG_DESKTOP_DIR=\"";
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == rest.npos ? std::string_view() : rest.substr(end + 1);
    if (!line.starts_with(kKey)) continue;
    line.remove_prefix(kKey.size());
    std::string value;
    for (std::size_t i = 0; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value.push_back(line[i]);
    }
    if (value.starts_with("$HOME")) return Home() + value.substr(5);
    if (value.starts_with('/')) return value;
    return {};
  }
  return {};
}

bool MakeFolders(const std::string& folder) {
  std::size_t at = 0;
  while (at != std::string::npos) {
    at = folder.find('/', at + 1);
    const std::string part = folder.substr(0, at);
    if (part.empty()) continue;
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A string value: backslash, line breaks and tabs escaped; a leading blank
// kept as \s.
std::string EscapeValue(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == ' ' && i == 0) out += "\\s";
    else out.push_back(c);
  }
  return out;
}

std::string UnescapeValue(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    switch (text[++i]) {
      case 's': out.push_back(' '); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      default: out.push_back(text[i]); break;
    }
  }
  return out;
}

// One Exec argument, always quoted: inside the quotes '"', '`', '$' and '\'
// take a backslash; '%' is doubled, as field codes start with it.
std::string QuoteExecArgument(std::string_view arg) {
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out.push_back('\\');
    if (c == '%') out.push_back('%');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string FirstExecArgument(std::string_view exec) {
  std::string out;
  if (exec.starts_with('"')) {
    for (std::size_t i = 1; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      else if (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
      out.push_back(exec[i]);
    }
    return out;
  }
  return std::string(exec.substr(0, exec.find(' ')));
}

}  // namespace

std::string ShellFolderPath(ShellFolder folder) {
  if (folder == ShellFolder::kStartup) return ConfigHome() + "/autostart";
  std::string desktop = DesktopFromUserDirs();
  if (desktop.empty()) desktop = Env("XDG_DESKTOP_DIR");
  if (!desktop.starts_with('/')) desktop = Home() + "/Desktop";
  while (desktop.size() > 1 && desktop.ends_with('/')) desktop.pop_back();
  return desktop;
}

std::string_view ExecutableSuffix() { return ""; }

std::string ShortcutPath(const std::string& folder, const std::string& name) {
  return folder + "/" + name + ".desktop";
}

bool MakeShortcut(const std::string& shortcut_path, const std::string& target, const std::string& name) {
  if (target.empty() || name.empty()) return false;
  const std::size_t slash = shortcut_path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(shortcut_path.substr(0, slash))) return false;
  const std::string entry = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + EscapeValue(name) +
                            "\nExec=" + EscapeValue(QuoteExecArgument(target)) + "\nTerminal=false\n";
  if (!ReplaceFileAtomically(shortcut_path, entry)) return false;
  // Desktops start a launcher on the desktop only when it is executable.
  return chmod(shortcut_path.c_str(), 0755) == 0;
}

std::string ShortcutTarget(const std::string& shortcut_path) {
  const FileContents file = ReadWholeFile(shortcut_path);
  if (file.status != FileContents::Status::kOk) return {};
  std::string_view rest = file.bytes;
  bool in_entry = false;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == rest.npos ? std::string_view() : rest.substr(end + 1);
    if (line.starts_with('[')) in_entry = line == "[Desktop Entry]";
    else if (in_entry && line.starts_with("Exec=")) return FirstExecArgument(UnescapeValue(line.substr(5)));
  }
  return {};
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

bool OpenWithDefaultApplication(const std::string& path, std::intptr_t /*owner*/) {
  if (path.empty()) return false;
  // A name starting with "-" would read as an option.
  std::string arg = path.starts_with('-') ? "./" + path : path;
  std::vector<char*> argv{const_cast<char*>("xdg-open"), arg.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv.data(), environ) != 0) return false;
  // Reaped when it ends, so no zombie stays behind; nobody waits for it.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace qv::platform
