#include "settings/shell_calls.h"

#include "base/text.h"
#include "platform/codepage.h"
#include "ui/icon_paint.h"

namespace qv::settings {

namespace {

constexpr unsigned kWindowsCodePage = 932;
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

class Shell final : public ShellCalls {
 public:
  std::string FolderPath(platform::ShellFolder folder) override { return platform::ShellFolderPath(folder); }
  bool MakeShortcut(const std::string& path, const std::string& target, const std::string& name) override {
    // The main program's own art, as its windows show it, so the shortcut,
    // the task bar and the window look alike; its windows' class ties them
    // to the shortcut.
    std::vector<platform::IconPixels> images;
    for (const ui::IconImage& image : ui::ClockIcon(ui::ClockArt::kDial).images)
      images.push_back({image.size, image.argb});
    platform::ShortcutLook look;
    look.comment = "時刻サーバーの時刻でPCの時計を合わせます";
    look.icon_path = platform::InstallIcon("quorvel", images);
    look.window_class = "Quorvel";
    return platform::MakeShortcut(path, target, name, look);
  }
  bool RemoveShortcut(const std::string& path) override { return platform::RemoveShortcut(path); }
  bool RemoveFile(const std::string& path) override { return platform::RemoveFile(path); }
  bool Open(const std::string& path, std::intptr_t owner) override {
    return platform::OpenWithDefaultApplication(path, owner);
  }
};

}  // namespace

ShellCalls& RealShell() {
  static Shell shell;
  return shell;
}

std::string MainProgramPath(const std::string& profile_path) {
  const std::size_t dot = profile_path.rfind('.');
  return profile_path.substr(0, dot) + std::string(platform::ExecutableSuffix());
}

std::optional<std::string> ShortcutNameText(std::string_view stored) {
  if (IsUtf8(stored)) return std::string(stored);
  std::string text = platform::CodePageToUtf8(kWindowsCodePage, stored);
  // Bytes that form no CP932 character come back as U+FFFD.
  if (text.empty() || text.find(kReplacementCharacter) != std::string::npos) return std::nullopt;
  return text;
}

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

}  // namespace qv::settings
