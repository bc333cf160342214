// XDG desktop entries (the freedesktop.org format) stand for shortcuts, with
// the program's icon in the user's hicolor theme; xdg-open opens files with
// the desktop's default application.
#include "platform/shell.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "base/text.h"
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

// $XDG_DATA_HOME when it is absolute, else ~/.local/share.
std::string DataHome() {
  std::string data = Env("XDG_DATA_HOME");
  return data.starts_with('/') ? data : Home() + "/.local/share";
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

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Makes `bytes` the file at `path` in one step: written to a hidden
// temporary beside it (a name no desktop reads as an entry, and one a
// crash can leave without harm), then renamed over it. A link at `path`
// is replaced, not followed. No lock file: each writer has a temporary of
// its own, and the last rename wins whole.
bool ReplaceWhole(const std::string& path, std::string_view bytes, mode_t mode) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return false;
  std::string temp = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

// Earlier versions locked each shortcut through an empty "<file>.lock"
// beside it and left it there; one of this user's goes with the shortcut.
void RemoveLeftLock(const std::string& shortcut_path) {
  const std::string lock = shortcut_path + ".lock";
  struct stat st {};
  if (lstat(lock.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0 && st.st_uid == geteuid())
    unlink(lock.c_str());
}

// What a desktop entry's string may hold: UTF-8 without control characters
// (the line breaks and tabs that EscapeValue writes as escapes aside).
bool IsEntryText(std::string_view text) {
  if (!IsUtf8(text)) return false;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t' && c != '\r') || c == 0x7F) return false;
  return true;
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

void PutBigEndian32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

// One PNG chunk: length, type, data, and the CRC of type and data.
void PutChunk(std::string& png, const char (&type)[5], std::string_view data) {
  PutBigEndian32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t at = png.size();
  png.append(type, 4).append(data);
  const auto* crc_from = reinterpret_cast<const Bytef*>(png.data() + at);
  PutBigEndian32(png, static_cast<std::uint32_t>(crc32(0, crc_from, static_cast<uInt>(png.size() - at))));
}

// The image as a PNG file: 8-bit RGBA with straight alpha, each row
// unfiltered, deflated by zlib. Empty when it cannot be encoded.
std::string EncodePng(const IconPixels& image) {
  const auto size = static_cast<std::size_t>(image.size);
  if (image.size <= 0 || image.size > 1024 || image.argb.size() != size * size) return {};
  std::string raw;
  raw.reserve(size * (size * 4 + 1));
  for (std::size_t y = 0; y < size; ++y) {
    raw.push_back(0);  // filter type: none
    for (std::size_t x = 0; x < size; ++x)
      for (const int shift : {16, 8, 0, 24}) raw.push_back(static_cast<char>(image.argb[y * size + x] >> shift));
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packed_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
    return {};
  packed.resize(packed_size);
  std::string header;
  PutBigEndian32(header, static_cast<std::uint32_t>(size));
  PutBigEndian32(header, static_cast<std::uint32_t>(size));
  header += std::string("\x08\x06\x00\x00\x00", 5);  // depth 8, RGBA, deflate, no filter, no interlace
  std::string png("\x89PNG\r\n\x1A\n", 8);
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});
  return png;
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

bool MakeShortcut(const std::string& shortcut_path, const std::string& target, const std::string& name,
                  const ShortcutLook& look) {
  if (target.empty() || name.empty()) return false;
  // The format is UTF-8 text: whatever else would make an entry that
  // desktops reject, or show as garbage.
  for (const std::string* text : {&target, &name, &look.comment, &look.icon_path, &look.window_class})
    if (!IsEntryText(*text)) return false;
  const std::size_t slash = shortcut_path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(shortcut_path.substr(0, slash))) return false;
  std::string entry = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + EscapeValue(name) + "\n";
  if (!look.comment.empty()) entry += "Comment=" + EscapeValue(look.comment) + "\n";
  entry += "Exec=" + EscapeValue(QuoteExecArgument(target)) + "\n";
  if (!look.icon_path.empty()) entry += "Icon=" + EscapeValue(look.icon_path) + "\n";
  entry += "Terminal=false\n";
  if (!look.window_class.empty()) entry += "StartupWMClass=" + EscapeValue(look.window_class) + "\n";
  // Desktops start a launcher on the desktop only when it is executable.
  if (!ReplaceWhole(shortcut_path, entry, 0755)) return false;
  RemoveLeftLock(shortcut_path);
  return true;
}

bool RemoveShortcut(const std::string& shortcut_path) {
  if (!RemoveFile(shortcut_path)) return false;
  RemoveLeftLock(shortcut_path);
  return true;
}

std::string InstallIcon(const std::string& name, const std::vector<IconPixels>& images) {
  if (name.empty() || name.find('/') != std::string::npos || name.starts_with('.')) return {};
  std::string largest;
  int largest_size = 0;
  for (const IconPixels& image : images) {
    const std::string png = EncodePng(image);
    if (png.empty()) return {};
    const std::string size = std::to_string(image.size);
    const std::string folder = DataHome() + "/icons/hicolor/" + size + "x" + size + "/apps";
    const std::string path = folder + "/" + name + ".png";
    // An icon that is there already is not written again.
    const FileContents current = ReadWholeFile(path, png.size() + 1);
    if (current.status != FileContents::Status::kOk || current.bytes != png)
      if (!MakeFolders(folder) || !ReplaceWhole(path, png, 0644)) return {};
    if (image.size > largest_size) largest = path, largest_size = image.size;
  }
  return largest;
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
