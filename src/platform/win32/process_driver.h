// Drives another program from a Windows test, as a user at its windows
// would: starts it, finds its dialogs and message boxes, and waits for its
// end. The ui_driver functions then act on those windows; the programs
// themselves never link this.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace qv::ui::driver {

class ChildProcess {
 public:
  // Starts `program` (a path) with the argument text `args` after it.
  ChildProcess(const std::string& program, const std::string& args);
  // Ends the program if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return process_ != 0; }
  // Its exit code once it has ended within the time; -1 otherwise.
  int Wait(int timeout_ms);
  // Its visible top-level dialogs and message boxes.
  std::vector<WindowId> Dialogs() const;
  // Polls Dialogs() until `match` accepts one; 0 on time-out.
  WindowId WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms) const;

 private:
  std::intptr_t process_ = 0;
  std::uint32_t id_ = 0;
};

}  // namespace qv::ui::driver
