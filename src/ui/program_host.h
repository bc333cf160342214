// The dialog host a program runs its windows on: the win32 host on Windows,
// the Linux GUI host on Linux. Each GUI host library defines it; a program
// links the one for its target.
#pragma once

#include <memory>
#include <string>

#include "ui/dialog.h"

namespace qv::ui {

// `program` names the program where the system groups its windows (the X
// class and name on Linux; Windows takes it from the executable).
std::unique_ptr<Host> MakeProgramHost(const std::string& program);

}  // namespace qv::ui
