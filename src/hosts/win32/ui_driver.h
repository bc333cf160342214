// Drives real dialogs from another thread, as a user would: finds this
// process's dialog and message-box windows, clicks, types and reads. For
// Windows tests and demos; the programs themselves never link it.
#pragma once

#include <cstdint>
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
bool IsVisible(WindowId window);
bool IsMinimized(WindowId window);
// The window is its thread's active window (under X the activation comes
// a moment after the window shows).
bool IsActive(WindowId window);
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
// Replaces the text of an edit field or a combo box's edit field.
bool TypeText(WindowId dialog, int control, const std::string& text);
bool PressKey(WindowId window, unsigned virtual_key);
// Alt and a letter, as the keyboard sends it to the dialog (WM_SYSCHAR).
bool PressMnemonic(WindowId window, char letter);
bool PostClose(WindowId window);
// Ends whatever dialogs and message boxes of this process are still up
// (a failing test's way out of a modal loop it can no longer drive).
void CloseAll();

// Waits until the thread that owns `window` has taken every message posted
// to it so far (and those their handling posted in turn), and is back in a
// message loop: the moment after which a user's action has had its effect.
// True at once when the window is gone. False on time-out (the thread is
// busy or runs no message loop).
bool Settle(WindowId window, int timeout_ms = 5000);

// A user's actions that move the focus or pick, as the keyboard and mouse
// do, so the dialog hears the same notifications.
bool FocusControl(WindowId dialog, int control);  // as Tab would move it
// Picks an item of a combo box (from its dropped-down list, with the mouse)
// or of a list box.
bool ChooseItem(WindowId dialog, int control, int index);
// Presses the up or down arrow key `steps` times in the field an up-down
// control belongs to (negative: down).
bool SpinArrow(WindowId dialog, int spin, int steps);
// Picks a command from the window's system menu; false when the menu has no
// such command.
bool SystemCommand(WindowId window, unsigned command);
// A button's check state.
int CheckState(WindowId dialog, int control);
// The system telling a window that the clock was set, or that it resumed
// from sleep.
bool SendTimeChange(WindowId window);
bool SendResume(WindowId window);
// The window (control 0), a button or an icon static of it has an icon to
// show.
bool ShowsIcon(WindowId dialog, int control);
// The pixels (0xAARRGGBB, rows top-down) of the large icon the window
// (control 0), a button or an icon static shows; empty when none. `size`
// gets its width.
std::vector<std::uint32_t> IconPixels(WindowId dialog, int control, int& size);
// The text a user reads in a control: for a combo box, its edit field or its
// selected item.
std::string ReadText(WindowId dialog, int control);

}  // namespace qv::ui::driver
