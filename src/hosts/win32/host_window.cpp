#include "hosts/win32/host_window.h"

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <mutex>
#include <utility>

#include "platform/win32/utf16.h"

namespace qv::ui {

namespace {

HWND AsHwnd(WindowId id) { return reinterpret_cast<HWND>(id); }

std::string WindowText(HWND w) {
  if (!w) return {};
  const int len = GetWindowTextLengthW(w);
  if (len <= 0) return {};
  std::wstring buf(static_cast<std::size_t>(len) + 1, L'\0');
  const int got = GetWindowTextW(w, buf.data(), len + 1);
  return platform::Narrow(buf.data(), got);
}

// Item text of a combo box (CB_*) or list box (LB_*); the message numbers
// differ, the protocol is the same.
std::string ItemText(HWND w, bool list, int index) {
  const UINT len_msg = list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
  const UINT text_msg = list ? LB_GETTEXT : CB_GETLBTEXT;
  const LRESULT len = SendMessageW(w, len_msg, static_cast<WPARAM>(index), 0);
  if (len <= 0) return {};
  std::wstring buf(static_cast<std::size_t>(len) + 1, L'\0');
  const LRESULT got = SendMessageW(w, text_msg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
  return got > 0 ? platform::Narrow(buf.data(), static_cast<int>(got)) : std::string();
}

}  // namespace

bool Win32Window::IsList(int control) const {
  const ControlTemplate* t = tmpl_.Find(control);
  return t && t->cls == ControlClass::ListBox;
}

void Win32Window::ShowCaption(const std::string& text) {
  SetWindowTextW(AsHwnd(hwnd_), platform::Widen(text).c_str());
}

void Win32Window::SetText(int control, const std::string& text) {
  Changing guard(*this);
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return;
  if (IsList(control)) {
    // A list box has no text of its own: its text is the selected item.
    const std::wstring w = platform::Widen(text);
    const LRESULT i = SendMessageW(item, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(w.c_str()));
    SendMessageW(item, LB_SETCURSEL, static_cast<WPARAM>(i == LB_ERR ? -1 : i), 0);
    return;
  }
  SetWindowTextW(item, platform::Widen(text).c_str());
}

std::string Win32Window::Text(int control) const {
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return {};
  if (IsList(control)) {
    const LRESULT i = SendMessageW(item, LB_GETCURSEL, 0, 0);
    return i == LB_ERR ? std::string() : ItemText(item, true, static_cast<int>(i));
  }
  return WindowText(item);
}

void Win32Window::SetCheck(int control, int state) {
  CheckDlgButton(AsHwnd(hwnd_), control, static_cast<UINT>(state));
}

int Win32Window::Check(int control) const {
  return static_cast<int>(IsDlgButtonChecked(AsHwnd(hwnd_), control));
}

void Win32Window::Enable(int control, bool on) {
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control)) EnableWindow(item, on ? TRUE : FALSE);
}

bool Win32Window::IsEnabled(int control) const {
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  return item && IsWindowEnabled(item);
}

void Win32Window::Show(int control, bool on) {
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control)) ::ShowWindow(item, on ? SW_SHOW : SW_HIDE);
}

bool Win32Window::IsVisible(int control) const {
  // The control's own flag: before the dialog is first shown, every control
  // would otherwise read as hidden.
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  return item && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE);
}

void Win32Window::Focus(int control) {
  // Through the dialog manager, so the default button and the edit
  // selection follow the focus. The field left does not report it: the
  // program moved the focus, not the user.
  Changing guard(*this);
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control))
    SendMessageW(AsHwnd(hwnd_), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

int Win32Window::AddItem(int control, const std::string& text) {
  Changing guard(*this);
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return -1;
  const std::wstring w = platform::Widen(text);
  const LRESULT at =
      SendMessageW(item, IsList(control) ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  return at < 0 ? -1 : static_cast<int>(at);
}

void Win32Window::DeleteItem(int control, int index) {
  Changing guard(*this);
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control))
    SendMessageW(item, IsList(control) ? LB_DELETESTRING : CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void Win32Window::ClearItems(int control) {
  Changing guard(*this);
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control))
    SendMessageW(item, IsList(control) ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
}

std::vector<std::string> Win32Window::Items(int control) const {
  std::vector<std::string> out;
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return out;
  const bool list = IsList(control);
  const LRESULT n = SendMessageW(item, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) out.push_back(ItemText(item, list, static_cast<int>(i)));
  return out;
}

int Win32Window::Selection(int control) const {
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return -1;
  const LRESULT i = SendMessageW(item, IsList(control) ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
  return i < 0 ? -1 : static_cast<int>(i);
}

void Win32Window::Select(int control, int index) {
  Changing guard(*this);
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control))
    SendMessageW(item, IsList(control) ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32Window::SelectAllText(int control) {
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return;
  const ControlTemplate* t = tmpl_.Find(control);
  if (t && t->cls == ControlClass::ComboBox)
    SendMessageW(item, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
  else
    SendMessageW(item, EM_SETSEL, 0, -1);
}

void Win32Window::SetSpinRange(int spin, int min, int max) {
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), spin)) SendMessageW(item, UDM_SETRANGE32, min, max);
}

void Win32Window::SetSpinAccel(int spin, const std::vector<SpinAccel>& steps) {
  HWND item = GetDlgItem(AsHwnd(hwnd_), spin);
  if (!item || steps.empty()) return;
  std::vector<UDACCEL> table;
  for (const SpinAccel& a : steps) table.push_back({a.seconds, static_cast<UINT>(a.step)});
  SendMessageW(item, UDM_SETACCEL, table.size(), reinterpret_cast<LPARAM>(table.data()));
}

std::uintptr_t Win32Window::SetTimer(std::uintptr_t id, unsigned period_ms) {
  if (ended_) return 0;
  return ::SetTimer(AsHwnd(hwnd_), id, period_ms, nullptr);
}

bool Win32Window::KillTimer(std::uintptr_t id) { return ::KillTimer(AsHwnd(hwnd_), id) != 0; }

void Win32Window::End(int result) {
  if (ended_) return;
  ended_ = true;
  ::EndDialog(AsHwnd(hwnd_), result);
}

namespace {
Rect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
}  // namespace

Rect Win32Window::WindowRect() const {
  RECT r{};
  GetWindowRect(AsHwnd(hwnd_), &r);
  return FromRect(r);
}

Rect Win32Window::ControlRect(int control) const {
  RECT r{};
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control)) GetWindowRect(item, &r);
  return FromRect(r);
}

void Win32Window::MoveWindow(int left, int top) {
  const Rect r = WindowRect();
  ::MoveWindow(AsHwnd(hwnd_), left, top, r.Width(), r.Height(), TRUE);
}

void Win32Window::ResizeWindow(int width, int height) {
  SetWindowPos(AsHwnd(hwnd_), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

WindowPlacement Win32Window::Placement() const {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  WindowPlacement p;
  if (!GetWindowPlacement(AsHwnd(hwnd_), &wp)) return p;
  p.show_cmd = static_cast<int>(wp.showCmd);
  p.set_min_position = (wp.flags & WPF_SETMINPOSITION) != 0;
  p.min_position = {wp.ptMinPosition.x, wp.ptMinPosition.y};
  p.normal = FromRect(wp.rcNormalPosition);
  return p;
}

void Win32Window::SetPlacement(const WindowPlacement& placement) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  wp.flags = placement.set_min_position ? WPF_SETMINPOSITION : 0;
  wp.showCmd = static_cast<UINT>(placement.show_cmd);
  wp.ptMinPosition = {placement.min_position.x, placement.min_position.y};
  wp.ptMaxPosition = {-1, -1};
  wp.rcNormalPosition = ToRect(placement.normal);
  SetWindowPlacement(AsHwnd(hwnd_), &wp);
}

void Win32Window::ShowWindow(int show_cmd) { ::ShowWindow(AsHwnd(hwnd_), show_cmd); }

void Win32Window::SetIcon(int icon_id) {
  icon_ = icon_id;
  HWND w = AsHwnd(hwnd_);
  SendMessageW(w, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(SystemIcon(icon_id, GetSystemMetrics(SM_CXICON))));
  SendMessageW(w, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(SystemIcon(icon_id, GetSystemMetrics(SM_CXSMICON))));
}

void Win32Window::SetButtonIcon(int control, int icon_id) {
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return;
  // The image shows in place of the text, which only a button with the icon
  // style draws; without an image the text is back.
  HICON icon = static_cast<HICON>(SystemIcon(icon_id, GetSystemMetrics(SM_CXICON)));
  LONG style = GetWindowLongW(item, GWL_STYLE) & ~(BS_ICON | BS_BITMAP);
  if (icon) style |= BS_ICON;
  SetWindowLongW(item, GWL_STYLE, style);
  SendMessageW(item, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  InvalidateRect(item, nullptr, TRUE);
}

void Win32Window::LoadTemplateIcons() {
  // The dialog manager makes the controls in the template's order, each
  // below the last: the children in z-order are the template's controls.
  HWND child = GetWindow(AsHwnd(hwnd_), GW_CHILD);
  for (const ControlTemplate& c : tmpl_.controls) {
    if (!child) return;
    if (const int icon_id = StaticIconId(c))
      SendMessageW(child, STM_SETICON, reinterpret_cast<WPARAM>(SystemIcon(icon_id, GetSystemMetrics(SM_CXICON))), 0);
    child = GetWindow(child, GW_HWNDNEXT);
  }
}

void Win32Window::ChangeSystemMenu(const SystemMenuChange& change) {
  HMENU menu = GetSystemMenu(AsHwnd(hwnd_), FALSE);
  if (!menu) return;
  if (change.remove)
    RemoveMenu(menu, change.command, MF_BYCOMMAND);
  else if (change.command == 0)
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  else
    AppendMenuW(menu, MF_STRING, change.command, platform::Widen(change.text).c_str());
}

void Win32Window::PublishProperty(const std::string& name, const std::intptr_t* value) {
  if (value)
    SetPropW(AsHwnd(hwnd_), platform::Widen(name).c_str(), reinterpret_cast<HANDLE>(*value));
  else
    RemovePropW(AsHwnd(hwnd_), platform::Widen(name).c_str());
}

void* SystemIcon(int icon_id, int size) {
  static std::mutex mutex;
  static std::map<std::pair<int, int>, HICON> made;
  std::lock_guard<std::mutex> lock(mutex);
  if (auto it = made.find({icon_id, size}); it != made.end()) return it->second;
  const Icon* icon = FindIcon(icon_id);
  const IconImage* image = icon ? icon->Best(size) : nullptr;
  if (!image || image->size <= 0 || image->argb.size() != static_cast<std::size_t>(image->size * image->size))
    return nullptr;
  // A 32-bit top-down colour image with its alpha, and an all-zero mask
  // (the alpha decides what shows).
  BITMAPV5HEADER bi{};
  bi.bV5Size = sizeof bi;
  bi.bV5Width = image->size;
  bi.bV5Height = -image->size;
  bi.bV5Planes = 1;
  bi.bV5BitCount = 32;
  bi.bV5Compression = BI_BITFIELDS;
  bi.bV5RedMask = 0x00FF0000;
  bi.bV5GreenMask = 0x0000FF00;
  bi.bV5BlueMask = 0x000000FF;
  bi.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC dc = GetDC(nullptr);
  HBITMAP color = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, dc);
  if (!color) return nullptr;
  std::copy(image->argb.begin(), image->argb.end(), static_cast<std::uint32_t*>(bits));
  HBITMAP mask = CreateBitmap(image->size, image->size, 1, 1, nullptr);
  ICONINFO info{TRUE, 0, 0, mask, color};
  HICON h = CreateIconIndirect(&info);
  DeleteObject(color);
  DeleteObject(mask);
  if (h) made[{icon_id, size}] = h;
  return h;
}

}  // namespace qv::ui
