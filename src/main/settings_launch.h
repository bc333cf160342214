// The settings program as the main program sees it: whether it lies beside
// the main program, starting it, and closing its window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/dialog.h"

namespace qv::platform {
class ChildProcess;
}

namespace qv::main {

// What a started settings program's notifications carry (message 1124).
inline constexpr unsigned WM_SETTINGS_NOTIFY = ui::kWmUser + 100;
enum SettingsCode : int {
  SETTINGS_OPENED = 0,
  SETTINGS_SAVED = 1,
  SETTINGS_CANCELLED = 2,
  SETTINGS_APPLIED = 3,
};

class SettingsProgram {
 public:
  virtual ~SettingsProgram() = default;
  // The program file (string 121) in the main program's folder.
  virtual bool Exists() = 0;
  // Starts it with the argument text. `on_end` runs on another thread when
  // the process has ended; it must only post. False when it did not start.
  virtual bool Start(const std::string& arguments, std::function<void()> on_end) = 0;
  // Sends the settings window WM_CLOSE and returns when it has handled it.
  virtual void Close(ui::WindowId window) = 0;
};

// The real one: a process of its own.
class SettingsProcess final : public SettingsProgram {
 public:
  SettingsProcess();
  ~SettingsProcess() override;
  bool Exists() override;
  bool Start(const std::string& arguments, std::function<void()> on_end) override;
  void Close(ui::WindowId window) override;

 private:
  std::unique_ptr<platform::ChildProcess> child_;
};

}  // namespace qv::main
