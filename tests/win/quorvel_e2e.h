// The real Quorvel.exe as another process: a copy in a fresh folder with
// its own profile, started, found and driven from outside as a user would.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "hosts/win32/program_driver.h"
#include "main/templates.h"
#include "platform/file.h"
#include "platform/spawn.h"
#include "profile/profile.h"
#include "profile/temp_dir.h"
#include "support/wait_until.h"

namespace qv::e2e {

namespace drv = ui::driver;

using qv::test::FsPath;
using qv::test::Utf8;

// A built program: the copy beside this one (an unprivileged run copies
// them there), else the build tree's.
inline std::string BuiltProgram(const std::string& name, const char* build_path) {
  const std::string beside = platform::ExecutableFolder() + name;
  return platform::FileExists(beside) ? beside : std::string(build_path);
}

class QuorvelCopy {
 public:
  // `folder` and `name` may hold blanks and Japanese.
  QuorvelCopy(const std::string& quorvel_exe, const std::string& folder, const std::string& name,
              const std::string& profile_text)
      : dir_(temp_.path() / FsPath(folder)) {
    std::filesystem::create_directories(dir_);
    exe_ = Utf8(dir_ / FsPath(name + ".exe"));
    std::filesystem::copy_file(FsPath(quorvel_exe), FsPath(exe_));
    profile_ = Utf8(dir_ / FsPath(name + ".INI"));
    std::ofstream(FsPath(profile_), std::ios::binary) << profile_text;
  }
  const std::string& exe() const { return exe_; }
  std::string Beside(const std::string& name) const { return Utf8(dir_ / FsPath(name)); }
  std::string Value(const char* section, const char* key) const {
    return profile::ProfileFile(profile_).Load().ReadString(section, key);
  }

 private:
  qv::test::TempDir temp_;
  std::filesystem::path dir_;
  std::string exe_, profile_;
};

// One run of the copy; whatever is still up at the end is closed.
class Running {
 public:
  explicit Running(const std::string& exe) {
    std::uint32_t error = 0;
    child_ = platform::ChildProcess::Start("\"" + exe + "\"", "", error);
  }
  ~Running() {
    int code = 0;
    for (int i = 0; i < 50 && child_ && !child_->Wait(0, code); ++i) {
      for (ui::WindowId w : drv::DialogsOfProcess(child_->Pid())) drv::PostClose(w);
      child_->Wait(100, code);
    }
  }
  std::uint32_t pid() const { return child_->Pid(); }
  // The exit code, or -1 while it runs on after `ms`.
  int Ended(unsigned ms) {
    int code = -1;
    return child_->Wait(ms, code) ? code : -1;
  }
  // The main dialog: captioned by the product name, with the server line.
  ui::WindowId MainWindow(int timeout_ms = 20000) const {
    return drv::WaitForDialogOf(
        pid(), [](ui::WindowId w) { return drv::ControlOf(w, main::kIdServerName) != 0; }, timeout_ms);
  }
  ui::WindowId DialogCaptioned(const std::string& caption, int timeout_ms = 20000) const {
    return drv::WaitForDialogOf(pid(), [&](ui::WindowId w) { return drv::TextOf(w) == caption; }, timeout_ms);
  }

 private:
  std::unique_ptr<platform::ChildProcess> child_;
};

// Polls a control until `accept` takes its text; the last text read.
template <class Accept>
std::string WaitForText(ui::WindowId dialog, int control, Accept accept, int timeout_ms = 30000) {
  std::string text;
  qv::test::WaitUntil([&] { return accept(text = drv::ControlText(dialog, control)); }, timeout_ms, 20);
  return text;
}

// "Tue Jan 06 09:05:03 2026": a day, a month, the time and the year.
inline bool IsTimeText(const std::string& t) {
  return t.size() == 24 && t[3] == ' ' && t[7] == ' ' && t[13] == ':' && t[16] == ':' && t[19] == ' ';
}

}  // namespace qv::e2e
