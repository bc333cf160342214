// Drives real dialogs from another thread, as a user would: finds this
// process's dialog and message-box windows, clicks, types and reads. For
// Windows tests and demos; the programs themselves never link it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace qv::ui::driver {

struct PixelRect {
  int left, top, right, bottom;
};

// Visible top-level dialog windows (class "#32770": dialogs and message
// boxes) of this process.
std::vector<WindowId> ProcessDialogs();
// Polls every 10 ms until `match` accepts one of ProcessDialogs(); 0 on
// time-out.
WindowId WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms);
// Polls until the window is gone.
bool WaitGone(WindowId window, int timeout_ms);

bool Exists(WindowId window);
WindowId OwnerOf(WindowId window);
std::string ClassOf(WindowId window);
std::string TextOf(WindowId window);  // caption or control text
WindowId ControlOf(WindowId dialog, int control);
std::string ControlText(WindowId dialog, int control);
bool IsEnabled(WindowId window);
// The dialog's focused control id, 0 when the focus is elsewhere.
int FocusedControl(WindowId dialog);
// Face name of the font the window draws with.
std::string FontFace(WindowId window);
// A control's rectangle in the dialog's client pixels, and a rectangle in
// the dialog's units converted to the same pixels.
PixelRect ControlRect(WindowId dialog, int control);
PixelRect DialogUnitsToPixels(WindowId dialog, int x, int y, int cx, int cy);

// Actions are posted (or sent with a time-out) so that a driver never
// blocks on a UI thread that is itself waiting in a message box.
bool ClickButton(WindowId dialog, int control);    // BM_CLICK, as a mouse click
bool PostCommand(WindowId dialog, int control);    // WM_COMMAND BN_CLICKED
bool TypeText(WindowId dialog, int control, const std::string& text);  // replaces the text
bool PressKey(WindowId window, unsigned virtual_key);
bool PostClose(WindowId window);
// Ends whatever dialogs and message boxes of this process are still up
// (a failing test's way out of a modal loop it can no longer drive).
void CloseAll();

}  // namespace qv::ui::driver
