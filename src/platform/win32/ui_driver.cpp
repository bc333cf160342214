#include "platform/win32/ui_driver.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/win32/utf16.h"

namespace qv::ui::driver {

namespace {

HWND H(WindowId id) { return reinterpret_cast<HWND>(id); }
WindowId Id(HWND h) { return reinterpret_cast<WindowId>(h); }

constexpr UINT kSendTimeoutMs = 2000;

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM p) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  if (std::wstring(cls) == L"#32770") reinterpret_cast<std::vector<WindowId>*>(p)->push_back(Id(hwnd));
  return TRUE;
}

}  // namespace

std::vector<WindowId> ProcessDialogs() {
  std::vector<WindowId> out;
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&out));
  return out;
}

WindowId WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  do {
    for (WindowId w : ProcessDialogs())
      if (match(w)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < end);
  return 0;
}

bool WaitGone(WindowId window, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (IsWindow(H(window))) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool Exists(WindowId window) { return window && IsWindow(H(window)); }

WindowId OwnerOf(WindowId window) { return Id(GetWindow(H(window), GW_OWNER)); }

std::string ClassOf(WindowId window) {
  wchar_t cls[256] = {};
  const int n = GetClassNameW(H(window), cls, 256);
  return platform::Narrow(cls, n);
}

std::string TextOf(WindowId window) {
  // WM_GETTEXT with a time-out: the owning thread may be busy.
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(H(window), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len)) return {};
  std::wstring buf(len + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(H(window), WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &got))
    return {};
  return platform::Narrow(buf.data(), static_cast<int>(got));
}

WindowId ControlOf(WindowId dialog, int control) { return Id(GetDlgItem(H(dialog), control)); }

std::string ControlText(WindowId dialog, int control) {
  const WindowId c = ControlOf(dialog, control);
  return c ? TextOf(c) : std::string();
}

bool IsEnabled(WindowId window) { return IsWindowEnabled(H(window)) != 0; }

int FocusedControl(WindowId dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(H(dialog), nullptr), &info) || !info.hwndFocus) return 0;
  if (GetParent(info.hwndFocus) != H(dialog)) {
    // The edit inside a drop-down combo box reports for its combo box.
    HWND parent = GetParent(info.hwndFocus);
    if (parent && GetParent(parent) == H(dialog)) return GetDlgCtrlID(parent);
    return 0;
  }
  return GetDlgCtrlID(info.hwndFocus);
}

std::string FontFace(WindowId window) {
  DWORD_PTR font = 0;
  if (!SendMessageTimeoutW(H(window), WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &font) || !font) return {};
  LOGFONTW lf{};
  if (!GetObjectW(reinterpret_cast<HFONT>(font), sizeof(lf), &lf)) return {};
  return platform::Narrow(std::wstring(lf.lfFaceName));
}

PixelRect ControlRect(WindowId dialog, int control) {
  RECT r{};
  HWND c = GetDlgItem(H(dialog), control);
  if (!c) return {};
  GetWindowRect(c, &r);
  MapWindowPoints(nullptr, H(dialog), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

PixelRect DialogUnitsToPixels(WindowId dialog, int x, int y, int cx, int cy) {
  RECT r{x, y, x + cx, y + cy};
  MapDialogRect(H(dialog), &r);
  return {r.left, r.top, r.right, r.bottom};
}

bool ClickButton(WindowId dialog, int control) {
  HWND c = GetDlgItem(H(dialog), control);
  return c && PostMessageW(c, BM_CLICK, 0, 0);
}

bool PostCommand(WindowId dialog, int control) {
  HWND c = GetDlgItem(H(dialog), control);
  return PostMessageW(H(dialog), WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), reinterpret_cast<LPARAM>(c)) != 0;
}

bool TypeText(WindowId dialog, int control, const std::string& text) {
  HWND c = GetDlgItem(H(dialog), control);
  if (!c) return false;
  const std::wstring w = platform::Widen(text);
  DWORD_PTR ok = 0;
  return SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &ok) != 0 &&
         ok != 0;
}

bool PressKey(WindowId window, unsigned virtual_key) {
  const UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  // Key-up: previous state down, transition up (bits 30 and 31).
  const LPARAM up = static_cast<LPARAM>(static_cast<DWORD>(down) | 0xC0000000u);
  return PostMessageW(H(window), WM_KEYDOWN, virtual_key, down) && PostMessageW(H(window), WM_KEYUP, virtual_key, up);
}

bool PostClose(WindowId window) { return PostMessageW(H(window), WM_CLOSE, 0, 0) != 0; }

void CloseAll() {
  for (int round = 0; round < 50; ++round) {
    const auto dialogs = ProcessDialogs();
    if (dialogs.empty()) return;
    for (WindowId w : dialogs) PostClose(w);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace qv::ui::driver
