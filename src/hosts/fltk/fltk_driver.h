// Drives the Linux GUI's dialogs from another thread, as a user would: reads
// windows and controls on the UI thread (through the host), and clicks and
// types with real input events (xdotool, through the X server's test
// extension). For tests and demos; the programs never link it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace qv::ui::fltk {
class FltkHost;
class FltkWindow;
}

namespace qv::ui::fltk_driver {

// The host whose windows the driver reads (the test's own).
void Attach(fltk::FltkHost* host);

// Everything below may be called from any thread but the UI thread.
std::vector<WindowId> Dialogs();  // running dialogs and message boxes, innermost last
WindowId WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms = 5000);
WindowId WaitForCaption(const std::string& caption, int timeout_ms = 5000);
bool WaitGone(WindowId window, int timeout_ms = 5000);
// Polls `condition` (on the driver's thread) until it holds.
bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = 5000);
// The innermost running dialog that has been shown (minimised counts) and
// that `match` accepts (run on the UI thread); 0 when none came in time.
WindowId WaitForShown(const std::function<bool(fltk::FltkWindow&)>& match, int timeout_ms = 5000);
// Runs `fn` with the window on the UI thread; false when it is gone.
bool OnWindow(WindowId window, const std::function<void(fltk::FltkWindow&)>& fn);
// Waits until the UI thread has handled every X event the server sent it
// so far, every message posted meanwhile and whatever that caused in turn
// (a modal run it opened counts as settled). True at once with no dialog.
bool Settle(int timeout_ms = 10000);

std::string Caption(WindowId window);
std::string ControlText(WindowId window, int control);
int Check(WindowId window, int control);
bool ControlEnabled(WindowId window, int control);
bool ControlVisible(WindowId window, int control);
// The window takes input (no modal window runs over it).
bool TakesInput(WindowId window);
int FocusedControl(WindowId window);
WindowId OwnerOf(WindowId window);
bool IsMinimized(WindowId window);
Rect WindowRect(WindowId window);
Rect ControlRect(WindowId window, int control);  // on the screen
// Client pixels of a template rectangle, with the window's font.
Rect DialogUnitsToPixels(WindowId window, int x, int y, int cx, int cy);
// Whether the window is mapped on the X server (visible on the screen).
bool Mapped(WindowId window);
// The X window, for tools outside the process.
unsigned long Xid(WindowId window);
// A window property as the X server holds it (0 when absent).
long XProperty(WindowId window, const std::string& name);
// The sizes of the icon images the window gives the task bar (_NET_WM_ICON).
std::vector<int> IconSizes(WindowId window);

// Real input. Each waits until the X server has taken the events.
bool Click(WindowId window, int control);  // left button, the control's middle; false when hidden
bool ClickAt(int x, int y, int button = 1);              // screen pixels
bool MouseDown(WindowId window, int control, int dx, int dy);  // held at an offset from the control's corner
bool MouseUp();
bool Keys(WindowId window, const std::string& keys);    // xdotool key names: "Escape", "alt+n", "Tab"
bool KeyDown(const std::string& key);                   // held until KeyUp
bool KeyUp(const std::string& key);
bool Type(WindowId window, const std::string& text);    // typed into the focused control
// The whole text of the focused field replaced by `text` in one edit, as a
// paste does (the program under test owns the clipboard); trailing blanks,
// which a paste drops, are typed after it.
bool Paste(WindowId window, const std::string& text);
// Ends whatever dialogs are still up (a failing test's way out).
void CloseAll();

// The screen as a PNG file (X's own dump, converted by ImageMagick).
bool Screenshot(const std::string& path);

}  // namespace qv::ui::fltk_driver
