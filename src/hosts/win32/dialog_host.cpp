#include "hosts/win32/dialog_host.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "hosts/win32/dialog_memory.h"
#include "hosts/win32/host_window.h"
#include "platform/win32/utf16.h"

namespace qv::ui {

namespace {

// Dialogs running modally on this thread, innermost last.
std::vector<HWND>& ModalStack() {
  thread_local std::vector<HWND> stack;
  return stack;
}

Win32Window* WindowOf(HWND hwnd) { return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// Button clicks, menu items and accelerators; not the other notifications
// (selection and edit changes) that share WM_COMMAND.
bool IsCommand(WPARAM wp, LPARAM lp) {
  const WORD code = HIWORD(wp);
  return code == BN_CLICKED || (code == 1 && lp == 0);
}

// The change notifications a dialog hears, by the control's class.
bool AsNotify(HWND control, WORD code, Notify& out) {
  wchar_t cls[16] = {};
  GetClassNameW(control, cls, 16);
  if (lstrcmpiW(cls, L"Edit") == 0) {
    if (code == EN_CHANGE) return out = Notify::kEditChange, true;
    if (code == EN_KILLFOCUS) return out = Notify::kKillFocus, true;
  } else if (lstrcmpiW(cls, L"ComboBox") == 0) {
    if (code == CBN_SELCHANGE) return out = Notify::kSelChange, true;
    if (code == CBN_EDITCHANGE) return out = Notify::kEditChange, true;
    if (code == CBN_KILLFOCUS) return out = Notify::kKillFocus, true;
  } else if (lstrcmpiW(cls, L"ListBox") == 0) {
    if (code == LBN_SELCHANGE) return out = Notify::kSelChange, true;
  }
  return false;
}

// While a control reports losing the focus, the focus already sits where it
// went. Only a move to another control of the same dialog is the user's
// move between fields; a message box or another window taking the focus,
// or the dialog being minimised, is not.
bool FocusStaysInside(HWND dialog) {
  HWND focus = GetFocus();
  return focus && focus != dialog && IsChild(dialog, focus);
}

// Draws the window's icon in the middle of a minimised window.
void PaintMinimized(HWND hwnd, const Win32Window& w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (HICON icon = static_cast<HICON>(SystemIcon(w.icon(), GetSystemMetrics(SM_CXICON)))) {
    RECT r{};
    GetClientRect(hwnd, &r);
    DrawIcon(dc, (r.right - GetSystemMetrics(SM_CXICON) + 1) / 2, (r.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2,
             icon);
  }
  EndPaint(hwnd, &ps);
}

// The program's own messages. DM_GETDEFID, DM_SETDEFID and DM_REPOSITION sit
// at WM_USER too but belong to the dialog manager; registered messages
// (0xC000 and up) are other programs' business.
bool IsAppMessage(UINT msg) { return msg >= WM_USER + 3 && msg < 0xC000; }

INT_PTR Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* w = reinterpret_cast<Win32Window*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    w->Bind(reinterpret_cast<WindowId>(hwnd));
    ModalStack().push_back(hwnd);
    w->LoadTemplateIcons();
    w->dialog().Attach(w);
    return w->dialog().HandleInit() ? TRUE : FALSE;
  }
  Win32Window* w = WindowOf(hwnd);
  if (!w) return FALSE;
  // Like the headless host: once a dialog has ended, late ticks, commands and
  // posted messages find nobody.
  switch (msg) {
    case WM_SHOWWINDOW:
      if (!w->ended()) w->dialog().HandleShow(wp != 0);
      return FALSE;  // the default processing runs as well
    case WM_COMMAND: {
      Notify code{};
      if (lp != 0 && AsNotify(reinterpret_cast<HWND>(lp), HIWORD(wp), code)) {
        if (!w->ended() && !w->changing() && (code != Notify::kKillFocus || FocusStaysInside(hwnd)))
          w->dialog().HandleNotify(LOWORD(wp), code);
        return TRUE;
      }
      if (!IsCommand(wp, lp)) return FALSE;
      if (!w->ended()) w->dialog().HandleCommand(LOWORD(wp));
      return TRUE;
    }
    case WM_SYSCOMMAND:
      // Handled by the dialog, or the window system's own handling runs.
      if (w->ended() || !w->dialog().HandleSysCommand(static_cast<unsigned>(wp))) return FALSE;
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_TIMECHANGE:
      if (!w->ended()) w->dialog().HandleTimeChange();
      return TRUE;
    case WM_POWERBROADCAST:
      // Resumed from sleep: wall-clock moments may have passed unseen.
      if ((wp == PBT_APMRESUMEAUTOMATIC || wp == PBT_APMRESUMESUSPEND) && !w->ended()) w->dialog().HandleTimeChange();
      return FALSE;
    case WM_PAINT:
      if (!IsIconic(hwnd) || w->icon() == 0) return FALSE;
      PaintMinimized(hwnd, *w);
      return TRUE;
    case WM_QUERYDRAGICON:
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT,
                        reinterpret_cast<LONG_PTR>(SystemIcon(w->icon(), GetSystemMetrics(SM_CXICON))));
      return TRUE;
    case WM_CLOSE:
      if (!w->ended()) w->dialog().HandleCommand(kIdCancel);
      return TRUE;
    case WM_TIMER:
      if (!w->ended()) w->dialog().HandleTimer(static_cast<std::uintptr_t>(wp));
      return TRUE;
    case WM_DESTROY:
      w->dialog().HandleDestroy();
      return FALSE;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return FALSE;
    default:
      break;
  }
  if (IsAppMessage(msg)) {
    const std::intptr_t result =
        w->ended() ? 0 : w->dialog().HandleMessage(msg, static_cast<std::uintptr_t>(wp), static_cast<std::intptr_t>(lp));
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
    return TRUE;
  }
  return FALSE;
}

// The dialog's handlers stop their own exceptions (ui::Dialog's Handle
// calls): none reaches the window system's frames.
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return Dispatch(hwnd, msg, wp, lp); }

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one match is enough
}

bool FaceAvailable(const std::wstring& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  face.copy(lf.lfFaceName, face.size());
  HDC dc = GetDC(nullptr);
  if (!dc) return false;
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

}  // namespace

Win32Host::Win32Host() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&icc);
}

Win32Host::~Win32Host() = default;

std::string Win32Host::ResolveFontFace(const std::string& face) {
  static std::mutex mutex;
  static std::map<std::string, std::string> cache;
  std::lock_guard<std::mutex> lock(mutex);
  if (auto it = cache.find(face); it != cache.end()) return it->second;
  std::string chosen = "MS Shell Dlg";  // a logical face every system maps
  for (const std::string& candidate : {face, std::string("MS UI Gothic")}) {
    if (FaceAvailable(platform::Widen(candidate))) {
      chosen = candidate;
      break;
    }
  }
  cache[face] = chosen;
  return chosen;
}

int Win32Host::RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) {
  HWND owner_hwnd = reinterpret_cast<HWND>(owner);
  if (owner_hwnd && !IsWindow(owner_hwnd)) owner_hwnd = nullptr;  // a stale owner must not fail the run

  const std::vector<std::uint16_t> memory = BuildDialogMemory(tmpl, platform::Widen(ResolveFontFace(tmpl.font_face)));
  Win32Window window(dialog, tmpl);
  const INT_PTR result =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(memory.data()), owner_hwnd,
                              DialogProc, reinterpret_cast<LPARAM>(&window));

  auto& stack = ModalStack();
  if (HWND self = reinterpret_cast<HWND>(window.Id()))
    stack.erase(std::remove(stack.begin(), stack.end(), self), stack.end());
  dialog.Attach(nullptr);
  if (result == -1) {
    std::fprintf(stderr, "dialog host: dialog %d could not be created (error %lu)\n", tmpl.id, GetLastError());
    return kIdCancelResult;  // never reported as OK
  }
  return static_cast<int>(result);
}

namespace {
// 0 would post to the calling thread's queue and 0xFFFF to every top-level
// window of the desktop; neither is a window a dialog means.
HWND Target(WindowId window) {
  HWND h = reinterpret_cast<HWND>(window);
  return h == nullptr || h == HWND_BROADCAST ? nullptr : h;
}
}  // namespace

bool Win32Host::Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  HWND h = Target(window);
  return h && PostMessageW(h, msg, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam)) != 0;
}

std::intptr_t Win32Host::Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  HWND h = Target(window);
  if (!h) return 0;
  return static_cast<std::intptr_t>(SendMessageW(h, msg, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam)));
}

int Win32Host::ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) {
  HWND owner_hwnd = reinterpret_cast<HWND>(owner);
  if (owner_hwnd && !IsWindow(owner_hwnd)) owner_hwnd = nullptr;
  return ::MessageBoxW(owner_hwnd, platform::Widen(text).c_str(), platform::Widen(caption).c_str(),
                       static_cast<UINT>(flags));
}

Point Win32Host::ScreenSize() const { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Rect Win32Host::WorkArea() const {
  RECT r{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return {0, 0, ScreenSize().x, ScreenSize().y};
  return {r.left, r.top, r.right, r.bottom};
}

bool Win32Host::IsKeyDown(Key key) const {
  return (GetKeyState(key == Key::kShift ? VK_SHIFT : VK_CONTROL) & 0x8000) != 0;
}

bool Win32Host::WindowExists(WindowId window) const {
  HWND h = reinterpret_cast<HWND>(window);
  return h && IsWindow(h);
}

bool Win32Host::PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(reinterpret_cast<HWND>(window), &wp)) {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    error = text ? platform::Narrow(text, lstrlenW(text)) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    return false;
  }
  out.show_cmd = static_cast<int>(wp.showCmd);
  out.set_min_position = (wp.flags & WPF_SETMINPOSITION) != 0;
  out.min_position = {wp.ptMinPosition.x, wp.ptMinPosition.y};
  out.normal = {wp.rcNormalPosition.left, wp.rcNormalPosition.top, wp.rcNormalPosition.right,
                wp.rcNormalPosition.bottom};
  return true;
}

WindowId Win32Host::ActiveWindow() const {
  const auto& stack = ModalStack();
  return reinterpret_cast<WindowId>(stack.empty() ? GetActiveWindow() : stack.back());
}

}  // namespace qv::ui
