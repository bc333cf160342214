// What the X desktop offers the Linux GUI host: whether a window manager
// runs, and the frame it draws around a window. Probing never ends the
// program: an X error (a window gone between two requests, a property left
// behind by a window manager that quit) is caught, never fatal.
#pragma once

#include <X11/Xlib.h>

#include "ui/dialog.h"

namespace qv::ui::fltk {

// Replaces Xlib's default error handler, which ends the process: an error
// outside a trap is reported on standard error and otherwise ignored.
void InstallXErrorHandler();

// Catches the X errors of the requests made while it lives (one thread, the
// one that talks to the display).
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  // Whether a request made in the trap so far failed (waits for the server).
  bool Failed();

 private:
  Display* display_;
  int outer_error_;
};

// A window manager announces itself with a check window named on the root
// window that names itself too. A name left behind by one that quit points
// to a window that is gone, or to one that is not its own.
bool WindowManagerRunning(Display* display);

// The window manager's check window, 0 when none runs (for caching what it
// says per window manager).
Window WindowManagerCheck(Display* display);

// The frame the running window manager says it will draw around a dialog
// window (a fixed size, transient for `owner` when that is not 0), asked
// before any window shows. {} when none runs, it does not say, or it does
// not answer in time. Left, top, right and bottom widths.
Rect RequestFrameExtents(Display* display, Window owner);

}  // namespace qv::ui::fltk
