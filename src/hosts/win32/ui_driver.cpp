#include "hosts/win32/ui_driver.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
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
bool IsVisible(WindowId window) { return IsWindowVisible(H(window)) != 0; }
bool IsMinimized(WindowId window) { return IsIconic(H(window)) != 0; }
bool IsActive(WindowId window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(H(window), nullptr), &info) && info.hwndActive == H(window);
}

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
  // Into a combo box's edit field, as typing does: the combo box tells its
  // dialog of the change (it would not for a text set on itself). Found as
  // the child window it is, which works for another process's combo too.
  wchar_t cls[16] = {};
  GetClassNameW(c, cls, 16);
  if (lstrcmpiW(cls, L"ComboBox") == 0) {
    c = FindWindowExW(c, nullptr, L"Edit", nullptr);
    if (!c) return false;  // a drop-down list has no field to type into
  }
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
  if (!PostMessageW(H(window), WM_KEYDOWN, virtual_key, down)) return false;
  // The key-down may have closed the window already.
  PostMessageW(H(window), WM_KEYUP, virtual_key, up);
  return true;
}

bool PressMnemonic(WindowId window, char letter) {
  // Bit 29: the Alt key is down.
  return PostMessageW(H(window), WM_SYSCHAR, static_cast<WPARAM>(static_cast<unsigned char>(letter)), 1 | (1 << 29)) != 0;
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

namespace qv::ui::driver {

namespace {

UINT SettleMessage() {
  static const UINT message = RegisterWindowMessageW(L"QuorvelDriverSettle");
  return message;
}

std::atomic<unsigned long> g_settle_sent{0};
std::mutex g_hook_mutex;  // guards everything below
std::map<DWORD, HHOOK> g_hooks;  // one per thread driven
unsigned long g_marker_seen = 0;     // the last marker the thread took
unsigned long g_others_taken = 0;    // messages it took besides markers
unsigned long g_others_at_marker = 0;

// Sees every message a loop of the driven thread takes. Counts them, and
// notes the count when it takes the driver's marker. Timer ticks and paints
// are not queued by anyone: they do not count.
LRESULT CALLBACK SettleHook(int code, WPARAM how, LPARAM lp) {
  MSG* m = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && how == PM_REMOVE) {
    std::lock_guard<std::mutex> lock(g_hook_mutex);
    if (m->hwnd == nullptr && m->message == SettleMessage()) {
      g_marker_seen = std::max<unsigned long>(g_marker_seen, static_cast<unsigned long>(m->wParam));
      g_others_at_marker = g_others_taken;
      m->message = WM_NULL;  // nobody else sees it
    } else if (m->message != WM_TIMER && m->message != WM_PAINT && m->message != WM_NULL) {
      ++g_others_taken;
    }
  }
  return CallNextHookEx(nullptr, code, how, lp);
}

// Posts a marker and waits until the thread took it; the count of other
// messages taken by then. False on time-out or when the window went away.
bool RoundTrip(HWND window, DWORD thread, std::chrono::steady_clock::time_point end, unsigned long& others) {
  const unsigned long seq = ++g_settle_sent;
  if (!PostThreadMessageW(thread, SettleMessage(), seq, 0)) return false;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(g_hook_mutex);
      if (g_marker_seen >= seq) {
        others = g_others_at_marker;
        return true;
      }
    }
    if (!IsWindow(window) || std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

// Settled when a marker goes through the queue and nothing else was taken
// since the one before it: whatever the user's action caused, and what
// that posted in turn, has been handled. The queue runs empty between the
// rounds, so the thread's own idle work (showing a dialog, timer ticks)
// goes on as without a driver.
bool Settle(WindowId window, int timeout_ms) {
  const DWORD thread = GetWindowThreadProcessId(H(window), nullptr);
  if (!thread) return true;  // gone
  {
    std::lock_guard<std::mutex> lock(g_hook_mutex);
    if (!g_hooks.count(thread)) {
      HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, SettleHook, nullptr, thread);
      if (!hook) return false;
      g_hooks[thread] = hook;
    }
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  unsigned long before = 0, after = 0;
  if (!RoundTrip(H(window), thread, end, before)) return !IsWindow(H(window));
  for (;;) {
    if (!RoundTrip(H(window), thread, end, after)) return !IsWindow(H(window));
    if (after == before) return true;
    before = after;
  }
}

bool FocusControl(WindowId dialog, int control) {
  HWND c = GetDlgItem(H(dialog), control);
  DWORD_PTR ignored = 0;
  return c && SendMessageTimeoutW(H(dialog), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c), TRUE, SMTO_ABORTIFHUNG,
                                  kSendTimeoutMs, &ignored) != 0;
}

namespace {
// Presses and releases the left button at a client point of a window.
bool MouseClick(HWND w, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  return PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, where) && PostMessageW(w, WM_LBUTTONUP, 0, where);
}
}  // namespace

bool ChooseItem(WindowId dialog, int control, int index) {
  HWND c = GetDlgItem(H(dialog), control);
  if (!c || !FocusControl(dialog, control)) return false;
  wchar_t cls[16] = {};
  GetClassNameW(c, cls, 16);
  HWND list = c;
  DWORD_PTR ignored = 0;
  if (lstrcmpiW(cls, L"ComboBox") == 0) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(c, &info) || !info.hwndList) return false;
    if (!SendMessageTimeoutW(c, CB_SHOWDROPDOWN, TRUE, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored)) return false;
    list = info.hwndList;
  }
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count) || index < 0 ||
      static_cast<DWORD_PTR>(index) >= count)
    return false;
  RECT item{};
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &got) ||
      static_cast<LRESULT>(got) == LB_ERR)
    return false;
  return MouseClick(list, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
}

bool SpinArrow(WindowId dialog, int spin, int steps) {
  HWND s = GetDlgItem(H(dialog), spin);
  if (!s) return false;
  DWORD_PTR buddy = 0;
  if (!SendMessageTimeoutW(s, UDM_GETBUDDY, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &buddy) || !buddy) return false;
  if (!FocusControl(dialog, GetDlgCtrlID(reinterpret_cast<HWND>(buddy)))) return false;
  const UINT key = steps < 0 ? VK_DOWN : VK_UP;
  for (int i = 0; i < (steps < 0 ? -steps : steps); ++i)
    if (!PressKey(static_cast<WindowId>(buddy), key)) return false;
  return true;
}

bool SystemCommand(WindowId window, unsigned command) {
  HMENU menu = GetSystemMenu(H(window), FALSE);
  if (!menu || GetMenuState(menu, command, MF_BYCOMMAND) == static_cast<UINT>(-1)) return false;
  return PostMessageW(H(window), WM_SYSCOMMAND, command, 0) != 0;
}

int CheckState(WindowId dialog, int control) {
  HWND c = GetDlgItem(H(dialog), control);
  DWORD_PTR state = 0;
  if (!c || !SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state)) return -1;
  return static_cast<int>(state);
}

bool SendTimeChange(WindowId window) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(H(window), WM_TIMECHANGE, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored) != 0;
}

bool SendResume(WindowId window) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(H(window), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &ignored) != 0;
}

namespace {
// The icon the window (control 0), a button or an icon static shows.
DWORD_PTR IconHandleOf(WindowId dialog, int control) {
  DWORD_PTR icon = 0;
  if (control == 0) {
    SendMessageTimeoutW(H(dialog), WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &icon);
  } else if (HWND c = GetDlgItem(H(dialog), control)) {
    const bool is_static = ClassOf(reinterpret_cast<WindowId>(c)) == "Static";
    SendMessageTimeoutW(c, is_static ? STM_GETICON : BM_GETIMAGE, is_static ? 0 : IMAGE_ICON, 0, SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &icon);
  }
  return icon;
}
}  // namespace

bool ShowsIcon(WindowId dialog, int control) { return IconHandleOf(dialog, control) != 0; }

std::vector<std::uint32_t> IconPixels(WindowId dialog, int control, int& size) {
  size = 0;
  const DWORD_PTR handle = IconHandleOf(dialog, control);
  ICONINFO info{};
  if (!handle || !GetIconInfo(reinterpret_cast<HICON>(handle), &info)) return {};
  std::vector<std::uint32_t> pixels;
  BITMAP bm{};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm) && bm.bmWidth == bm.bmHeight) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    pixels.resize(static_cast<std::size_t>(bm.bmWidth) * static_cast<std::size_t>(bm.bmHeight));
    HDC dc = GetDC(nullptr);
    if (GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bm.bmHeight), pixels.data(), &bi, DIB_RGB_COLORS))
      size = bm.bmWidth;
    else
      pixels.clear();
    ReleaseDC(nullptr, dc);
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return pixels;
}

std::string ReadText(WindowId dialog, int control) { return ControlText(dialog, control); }

}  // namespace qv::ui::driver
