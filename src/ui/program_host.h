// The dialog host a program runs its windows on: the win32 host on Windows,
// the Linux GUI host on Linux. Each GUI host library defines it; a program
// links the one for its target.
#pragma once

#include <memory>

#include "ui/dialog.h"

namespace qv::ui {

std::unique_ptr<Host> MakeProgramHost();

}  // namespace qv::ui
