#include "platform/win32/process_driver.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/win32/utf16.h"

namespace qv::ui::driver {

namespace {

struct Search {
  DWORD process;
  std::vector<WindowId>* found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM p) {
  auto* search = reinterpret_cast<Search*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->process || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  if (std::wstring(cls) == L"#32770") search->found->push_back(reinterpret_cast<WindowId>(hwnd));
  return TRUE;
}

}  // namespace

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

ChildProcess::~ChildProcess() {
  if (!process_) return;
  HANDLE h = reinterpret_cast<HANDLE>(process_);
  if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) {
    TerminateProcess(h, 99);
    WaitForSingleObject(h, 5000);
  }
  CloseHandle(h);
}

int ChildProcess::Wait(int timeout_ms) {
  if (!process_) return -1;
  HANDLE h = reinterpret_cast<HANDLE>(process_);
  if (WaitForSingleObject(h, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  return GetExitCodeProcess(h, &code) ? static_cast<int>(code) : -1;
}

std::vector<WindowId> ChildProcess::Dialogs() const {
  std::vector<WindowId> found;
  Search search{id_, &found};
  if (id_) EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
  return found;
}

WindowId ChildProcess::WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  do {
    for (WindowId w : Dialogs())
      if (match(w)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return 0;
}

}  // namespace qv::ui::driver
