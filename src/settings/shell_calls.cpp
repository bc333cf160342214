#include "settings/shell_calls.h"

namespace qv::settings {

namespace {

class Shell final : public ShellCalls {
 public:
  std::string FolderPath(platform::ShellFolder folder) override { return platform::ShellFolderPath(folder); }
  bool MakeShortcut(const std::string& path, const std::string& target, const std::string& name) override {
    return platform::MakeShortcut(path, target, name);
  }
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

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

}  // namespace qv::settings
