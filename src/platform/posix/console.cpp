#include "platform/console.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace qv::platform {

namespace {
std::atomic<InterruptHandler> g_handler{nullptr};

void OnInterrupt(int) {
  const int saved = errno;
  if (const InterruptHandler handler = g_handler.load()) handler();
  errno = saved;
}
}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void InstallInterruptHandler(InterruptHandler handler) {
  g_handler.store(handler);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;  // calls it interrupts carry on
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace qv::platform
