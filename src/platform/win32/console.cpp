#include "platform/console.h"

#include <windows.h>
#include <io.h>
#include <stdio.h>

#include <atomic>

namespace qv::platform {

namespace {
std::atomic<InterruptHandler> g_handler{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
    if (const InterruptHandler handler = g_handler.load()) handler();
    return TRUE;
  }
  return FALSE;
}
}  // namespace

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallInterruptHandler(InterruptHandler handler) {
  // Windows runs the control handler on a thread of its own.
  g_handler.store(handler);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace qv::platform
