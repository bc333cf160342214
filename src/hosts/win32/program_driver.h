// Drives another program's windows from a test, as a user would: finds the
// dialogs of a process and reads what the driver in ui_driver.h does not.
// Windows tests only; the programs never link it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hosts/win32/ui_driver.h"

namespace qv::ui::driver {

// Another program started by a test: ended when the object goes if it
// still runs.
class ChildProcess {
 public:
  // Starts `program` (a path) with the argument text `args` after it.
  ChildProcess(const std::string& program, const std::string& args);
  // A process that a started program started in turn, opened by its id
  // while it runs.
  explicit ChildProcess(std::uint32_t id);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return process_ != 0; }
  std::uint32_t id() const { return id_; }
  // Its exit code once it has ended within the time; -1 otherwise.
  int Wait(int timeout_ms);
  // Ends it at once, as a crash would (exit code 99), and waits for that.
  void Kill();
  // The full path of its program file; empty when it cannot be asked.
  std::string Program() const;
  std::vector<WindowId> Dialogs() const;
  WindowId WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms) const;

 private:
  std::intptr_t process_ = 0;
  std::uint32_t id_ = 0;
};

// The processes that `parent` started and that still run.
std::vector<std::uint32_t> ChildrenOf(std::uint32_t parent);

// Visible top-level dialogs and message boxes of the process.
std::vector<WindowId> DialogsOfProcess(std::uint32_t pid);
// Polls until `match` accepts one of them; 0 on time-out.
WindowId WaitForDialogOf(std::uint32_t pid, const std::function<bool(WindowId)>& match, int timeout_ms);

bool PostSysCommand(WindowId window, unsigned command);
// Moves a top-level window as a user's drag would, keeping its size.
bool MoveWindowTo(WindowId window, int left, int top);
PixelRect WindowRectOf(WindowId window);  // screen pixels
PixelRect ClientRectOf(WindowId window);  // from 0, 0
bool IsIconicWindow(WindowId window);
bool IsVisibleWindow(WindowId window);
std::intptr_t PropertyOf(WindowId window, const std::string& name);
// A button's check state (0, 1, 2); -1 when it cannot be asked.
int CheckStateOf(WindowId dialog, int control);

}  // namespace qv::ui::driver
