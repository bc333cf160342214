#include "platform/console.h"

#include <windows.h>
#include <io.h>
#include <stdio.h>

namespace qv::platform {

namespace {
std::function<void()>* g_handler = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
    if (g_handler) (*g_handler)();
    return TRUE;
  }
  return FALSE;
}
}  // namespace

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallInterruptHandler(std::function<void()> handler) {
  // Windows runs the control handler on a thread of its own.
  g_handler = new std::function<void()>(std::move(handler));
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace qv::platform
