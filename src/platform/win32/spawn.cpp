#include "platform/spawn.h"

#include <windows.h>

#include <thread>

#include "platform/spawn_state.h"
#include "platform/win32/utf16.h"

namespace qv::platform {

namespace {

void AwaitEnd(std::shared_ptr<ChildState> state, HANDLE process) {
  int code = -1;
  if (WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0) {
    DWORD exit_code = 0;
    if (GetExitCodeProcess(process, &exit_code)) code = static_cast<int>(exit_code);
  }
  CloseHandle(process);
  state->Finish(code);
}

}  // namespace

std::string NativeProgramName(std::string_view windows_name) { return std::string(windows_name); }

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::string& arguments,
                                                  std::uint32_t& error) {
  error = 0;
  // The system resolves the program from the command line: the running
  // program's folder first, then the current folder, the system folders and
  // PATH. The buffer is writable, as CreateProcessW requires.
  std::wstring line = Widen(BuildCommandLine(program, arguments));
  line.push_back(L'\0');
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si,
                      &pi)) {
    error = GetLastError();
    return nullptr;
  }
  CloseHandle(pi.hThread);
  auto state = std::make_shared<ChildState>();
  state->pid = pi.dwProcessId;
  std::thread(AwaitEnd, state, pi.hProcess).detach();
  return std::unique_ptr<ChildProcess>(new ChildProcess(state));
}

}  // namespace qv::platform
