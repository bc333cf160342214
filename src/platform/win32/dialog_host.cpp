#include "platform/win32/dialog_host.h"

#include <windows.h>
#include <commctrl.h>
// The framework's own MessageBox, not the A/W switch macro.
#undef MessageBox

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "platform/win32/dialog_memory.h"
#include "platform/win32/host_window.h"
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
    case WM_COMMAND:
      if (!IsCommand(wp, lp)) return FALSE;
      if (!w->ended()) w->dialog().HandleCommand(LOWORD(wp));
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

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // An exception cannot unwind through the window system's frames; a handler
  // that throws loses that one event and the dialog goes on.
  try {
    return Dispatch(hwnd, msg, wp, lp);
  } catch (...) {
    std::fprintf(stderr, "dialog host: a handler of message 0x%04X threw; event dropped\n", msg);
    OutputDebugStringW(L"dialog host: exception in a dialog handler\n");
    return FALSE;
  }
}

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

int Win32Host::MessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) {
  HWND owner_hwnd = reinterpret_cast<HWND>(owner);
  if (owner_hwnd && !IsWindow(owner_hwnd)) owner_hwnd = nullptr;
  return ::MessageBoxW(owner_hwnd, platform::Widen(text).c_str(), platform::Widen(caption).c_str(),
                       static_cast<UINT>(flags));
}

WindowId Win32Host::ActiveWindow() const {
  const auto& stack = ModalStack();
  return reinterpret_cast<WindowId>(stack.empty() ? GetActiveWindow() : stack.back());
}

}  // namespace qv::ui
