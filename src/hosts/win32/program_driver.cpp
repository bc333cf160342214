#include "hosts/win32/program_driver.h"

#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <thread>

#include "platform/win32/utf16.h"

namespace qv::ui::driver {

namespace {

HWND H(WindowId id) { return reinterpret_cast<HWND>(id); }

struct Search {
  DWORD pid;
  std::vector<WindowId> found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  if (std::wstring(cls) == L"#32770") s->found.push_back(reinterpret_cast<WindowId>(hwnd));
  return TRUE;
}

}  // namespace

std::vector<WindowId> DialogsOfProcess(std::uint32_t pid) {
  Search s{pid, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

WindowId WaitForDialogOf(std::uint32_t pid, const std::function<bool(WindowId)>& match, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  do {
    for (WindowId w : DialogsOfProcess(pid))
      if (match(w)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return 0;
}

bool PostSysCommand(WindowId window, unsigned command) {
  return PostMessageW(H(window), WM_SYSCOMMAND, command, 0) != 0;
}

bool MoveWindowTo(WindowId window, int left, int top) {
  return SetWindowPos(H(window), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

PixelRect WindowRectOf(WindowId window) {
  RECT r{};
  GetWindowRect(H(window), &r);
  return {r.left, r.top, r.right, r.bottom};
}

PixelRect ClientRectOf(WindowId window) {
  RECT r{};
  GetClientRect(H(window), &r);
  return {r.left, r.top, r.right, r.bottom};
}

bool IsIconicWindow(WindowId window) { return IsIconic(H(window)) != 0; }

bool IsVisibleWindow(WindowId window) { return IsWindowVisible(H(window)) != 0; }

std::intptr_t PropertyOf(WindowId window, const std::string& name) {
  return reinterpret_cast<std::intptr_t>(GetPropW(H(window), platform::Widen(name).c_str()));
}

int CheckStateOf(WindowId dialog, int control) {
  HWND c = GetDlgItem(H(dialog), control);
  DWORD_PTR state = 0;
  if (!c || !SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state)) return -1;
  return static_cast<int>(state);
}

ChildProcess::ChildProcess(const std::string& program, const std::string& args) {
  std::wstring line = L"\"" + platform::Widen(program) + L"\" " + platform::Widen(args);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
  CloseHandle(pi.hThread);
  process_ = reinterpret_cast<std::intptr_t>(pi.hProcess);
  id_ = pi.dwProcessId;
}

ChildProcess::ChildProcess(std::uint32_t id) {
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!h) return;
  process_ = reinterpret_cast<std::intptr_t>(h);
  id_ = id;
}

ChildProcess::~ChildProcess() {
  if (!process_) return;
  Kill();
  CloseHandle(reinterpret_cast<HANDLE>(process_));
}

void ChildProcess::Kill() {
  HANDLE h = reinterpret_cast<HANDLE>(process_);
  if (!h || WaitForSingleObject(h, 0) != WAIT_TIMEOUT) return;
  TerminateProcess(h, 99);
  WaitForSingleObject(h, 5000);
}

std::string ChildProcess::Program() const {
  wchar_t path[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  if (!process_ || !QueryFullProcessImageNameW(reinterpret_cast<HANDLE>(process_), 0, path, &size)) return {};
  return platform::Narrow(std::wstring(path, size));
}

namespace {
// When the process started; 0 when it cannot be asked or has ended.
std::uint64_t StartTime(std::uint32_t pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return 0;
  FILETIME created{}, ended{}, kernel{}, user{};
  const bool ok = WaitForSingleObject(h, 0) == WAIT_TIMEOUT && GetProcessTimes(h, &created, &ended, &kernel, &user);
  CloseHandle(h);
  return ok ? (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime : 0;
}
}  // namespace

std::vector<std::uint32_t> ChildrenOf(std::uint32_t parent) {
  std::vector<std::uint32_t> found;
  const std::uint64_t born = StartTime(parent);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (!born || snap == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
    if (e.th32ParentProcessID != parent || e.th32ProcessID == parent) continue;
    // Process ids are reused: one that started before `parent` had another
    // parent of that id. One that has ended stays listed while a handle to
    // it is open.
    if (StartTime(e.th32ProcessID) >= born) found.push_back(e.th32ProcessID);
  }
  CloseHandle(snap);
  return found;
}

int ChildProcess::Wait(int timeout_ms) {
  if (!process_) return -1;
  HANDLE h = reinterpret_cast<HANDLE>(process_);
  if (WaitForSingleObject(h, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  return GetExitCodeProcess(h, &code) ? static_cast<int>(code) : -1;
}

std::vector<WindowId> ChildProcess::Dialogs() const { return id_ ? DialogsOfProcess(id_) : std::vector<WindowId>{}; }

WindowId ChildProcess::WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms) const {
  return id_ ? WaitForDialogOf(id_, match, timeout_ms) : 0;
}

}  // namespace qv::ui::driver
