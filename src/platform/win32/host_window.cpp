#include "platform/win32/host_window.h"

#include <windows.h>

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

void Win32Window::SetCaption(const std::string& text) { SetWindowTextW(AsHwnd(hwnd_), platform::Widen(text).c_str()); }

std::string Win32Window::Caption() const { return WindowText(AsHwnd(hwnd_)); }

void Win32Window::SetText(int control, const std::string& text) {
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
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control)) ShowWindow(item, on ? SW_SHOW : SW_HIDE);
}

bool Win32Window::IsVisible(int control) const {
  // The control's own flag: before the dialog is first shown, every control
  // would otherwise read as hidden.
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  return item && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE);
}

void Win32Window::Focus(int control) {
  // Through the dialog manager, so the default button and the edit
  // selection follow the focus.
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control))
    SendMessageW(AsHwnd(hwnd_), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

void Win32Window::AddItem(int control, const std::string& text) {
  HWND item = GetDlgItem(AsHwnd(hwnd_), control);
  if (!item) return;
  const std::wstring w = platform::Widen(text);
  SendMessageW(item, IsList(control) ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void Win32Window::ClearItems(int control) {
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
  if (HWND item = GetDlgItem(AsHwnd(hwnd_), control))
    SendMessageW(item, IsList(control) ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
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

}  // namespace qv::ui
