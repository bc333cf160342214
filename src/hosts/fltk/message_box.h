// The message box of the Linux GUI: a dialog of its own, run modally like
// any other, so that every window's timers and posts go on meanwhile.
#pragma once

#include <string>

#include "ui/dialog.h"

namespace qv::ui::fltk {

class FltkHost;

// The box's controls, numbered as the system's message box numbers them.
inline constexpr int kMessageTextId = 0xFFFF;
inline constexpr int kMessageIconId = 20;

// Shows the box (UI thread); the button pressed (kIdOkResult or
// kIdCancelResult). Esc is Cancel, on a box without Cancel too.
int RunMessageBox(FltkHost& host, WindowId owner, const std::string& text, const std::string& caption, int flags);

}  // namespace qv::ui::fltk
