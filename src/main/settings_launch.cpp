#include "main/settings_launch.h"

#include <cstdio>

#include "platform/file.h"
#include "main/strings.h"
#include "platform/spawn.h"

namespace qv::main {

namespace {
std::string ProgramName() { return platform::NativeProgramName(ui::LoadText(kStrSettingsProgram)); }
}  // namespace

SettingsProcess::SettingsProcess() = default;
SettingsProcess::~SettingsProcess() = default;

bool SettingsProcess::Exists() { return platform::FileExists(platform::ExecutableFolder() + ProgramName()); }

bool SettingsProcess::Start(const std::string& arguments, std::function<void()> on_end) {
  std::uint32_t error = 0;
  // The previous one (if any) is forgotten: only the latest start reports its end.
  child_ = platform::ChildProcess::Start(ProgramName(), arguments, error);
  if (!child_) {
    std::fprintf(stderr, "%s: cannot start (error %u)\n", ProgramName().c_str(), static_cast<unsigned>(error));
    return false;
  }
  child_->OnExit([on_end = std::move(on_end)](int) { on_end(); });
  return true;
}

void SettingsProcess::Close(ui::WindowId window) { ui::CurrentHost().Send(window, ui::kWmClose, 0, 0); }

}  // namespace qv::main
