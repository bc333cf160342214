// The rules Windows' dialog manager and its controls apply, in one
// host-neutral place that every host shares: buttons and radio groups, the
// keyboard's default commands, list sorting and combo boxes, up-down
// controls, dialog units and where a dialog opens, the system menu, and when
// a dialog is first shown. Each rule was measured on the win32 host; the
// headless and Linux hosts follow it instead of deciding for themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/geometry.h"

namespace qv::ui::rules {

// Whether the user could reach a control now (shown and enabled).
using Reachable = std::function<bool(int control)>;

// ------------------------------------------------------------------ buttons

bool IsButtonKind(const ControlTemplate& c, std::uint32_t kind);
bool IsRadio(const ControlTemplate& c);       // automatic or not
bool IsPushButton(const ControlTemplate& c);  // plain or default
// A check state as the control keeps it: two-state boxes and radio buttons
// hold 0 or 1 (any other value is 1), three-state boxes 0, 1 or 2 (above 1
// or negative is 2); push buttons and other controls always read 0.
int NormalizeCheck(const ControlTemplate& c, int state);
// The state an automatic button takes when clicked (others keep theirs):
// check boxes toggle, three-state boxes run 0, 1, 2, 0, radio buttons check.
int CheckAfterClick(const ControlTemplate& c, int state);

// The radio buttons of the group `member` belongs to, in template order. A
// group runs from a control with the group style up to the next one; other
// controls inside it (labels between the buttons) neither end it nor count.
std::vector<int> RadioGroup(const DialogTemplate& tmpl, int member);
// The buttons a click on the automatic radio button `member` unchecks: the
// other automatic radio buttons of its group that the user could reach. A
// hidden or disabled one keeps its check, as on Windows.
std::vector<int> RadioPeersToClear(const DialogTemplate& tmpl, int member, const Reachable& reachable);

// ------------------------------------------------------- keyboard and focus

// Where the focus goes when initialisation asks for the default: the first
// reachable control with the tab-stop style; 0 when none.
int InitialFocus(const DialogTemplate& tmpl, const Reachable& reachable);
bool TakesFocus(const ControlTemplate& c);
// The command Enter sends: the focused push button's own id, else the
// template's default push button, else OK.
int EnterCommand(const DialogTemplate& tmpl, int focus);
// Controls that tell their dialog when the user moves the focus off them.
bool ReportsFocusLoss(const ControlTemplate& c);
// Controls that tell their dialog when the user picks an item (a list box
// only with its notify style).
bool ReportsSelectionChange(const ControlTemplate& c);

// ---------------------------------------------------- list and combo boxes

bool IsSortedList(const ControlTemplate& c);
// A combo box with an edit field (drop-down), not a drop-down list: only
// such a box shows text that is not one of its items.
bool HasEditField(const ControlTemplate& c);
// The order of a sorted list: the system's word sort, ignoring case. Blanks
// and punctuation sort before digits, digits before letters, letters before
// other scripts (kana before ideographs); a letter with a mark after the
// plain one. Full-width letters and digits, and kana of either kind and
// width, weigh as one another until a tie; hyphens and apostrophes weigh
// only then too. <0, 0 or >0.
int CollateCompare(std::string_view a, std::string_view b);
// Where a sorted list inserts `text`: a binary search by CollateCompare
// that stops at an equal item (and inserts before it).
int SortedInsertIndex(const std::vector<std::string>& items, std::string_view text);
// The first item that begins with `prefix` (ignoring case); -1 when none or
// when the prefix is empty.
int FindPrefix(const std::vector<std::string>& items, std::string_view prefix);

// --------------------------------------------------------------- up-down

// The control an up-down attaches to: the one before it in the template.
int SpinBuddy(const DialogTemplate& tmpl, int spin);
// The buddy's text as an up-down reads it: blanks before an optional sign,
// digits, and (unless `no_thousands`) commas anywhere among them, nothing
// after; the empty text is 0. False when it is no such number.
bool ParseSpinText(std::string_view text, bool no_thousands, int& out);
// The position as an up-down writes it into its buddy.
std::string FormatSpinValue(int value, bool no_thousands);
// The position an up-down counts from: the buddy's number when it reads as
// one inside the range, else the position it had.
int SpinStart(std::string_view buddy_text, bool no_thousands, int position, int min, int max);
// One step of `delta` (+ up, - down) from `value`. A reversed range (min >
// max) counts the other way. Past an end: wraps on round the range when
// `wrap`, else stops at the end.
int SpinStep(int value, int delta, int min, int max, bool wrap);
// A position the range does not hold moves to the nearer end.
int ClampSpin(int value, int min, int max);
// The step of an arrow held for `held_ms`: the increment of the last row
// whose time has passed, the first row's before that; 1 with no table.
int SpinIncrement(const std::vector<SpinAccel>& accel, unsigned held_ms);

// -------------------------------------------------------------- geometry

// A font's average character width and height in pixels: what one
// horizontal dialog unit (a quarter) and one vertical unit (an eighth) are
// made of.
struct BaseUnits {
  int x = 0, y = 0;
};
// a * b / c rounded half away from zero, as the system scales.
int MulDiv(int a, int b, int c);
// Dialog units to pixels: the position and the size are converted on their
// own, each rounded to the nearest pixel, as the dialog manager does.
Rect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base);
// A closed combo box is as tall as an edit field of its font (`font_height`,
// the base units' y); its template height is the open list's.
int ClosedComboHeight(int font_height);
// An up-down control that attaches itself to its buddy (auto-buddy with an
// alignment) moves onto the buddy's right (or left) edge: it is
// kAttachedUpDownWidth pixels wide, narrows the buddy by as much and
// overlaps the buddy's border by 2 pixels. Without an alignment it stays
// where its template puts it (`own`). Returns the up-down's rectangle and
// narrows `buddy`, both in client pixels.
inline constexpr int kAttachedUpDownWidth = 16;
Rect AttachUpDown(std::uint32_t spin_style, const Rect& own, Rect& buddy);
// Where a new dialog's window of `size` goes. Its client area's corner,
// `client_corner`, is the template's position counted from the owner's
// client area (from the screen's corner without an owner); `client_offset`
// is where the client area sits inside the window. Then the window is pulled
// inside the work area, short of its right and bottom edges by `frame`.
Rect PlaceNewDialog(Point size, Point client_offset, Point client_corner, Rect work_area, int frame);

// ----------------------------------------------------------- system menu

// The commands of a dialog's system menu before a program changes it, in
// order; 0 is a separator.
const std::vector<unsigned>& DefaultSystemMenu();

// ------------------------------------------------------------ show order

// A dialog whose template has the visible style is shown as it is created,
// after initialisation. Any other is shown by its modal loop once the
// queue first runs dry (every message posted so far, also by its own
// initialisation, has been delivered) or right after its first timer tick,
// whichever comes first; a dialog that ended before is never shown.
bool ShownAtCreation(const DialogTemplate& tmpl);

}  // namespace qv::ui::rules
