#include "platform/console.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace qv::platform {

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void InstallInterruptHandler(std::function<void()> handler) {
  // SIGINT is blocked in every thread and taken by one waiting thread, so the
  // handler may do anything a normal thread may (post a message).
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set, handler = std::move(handler)] {
    for (;;) {
      int sig = 0;
      if (sigwait(&set, &sig) == 0 && sig == SIGINT) handler();
    }
  }).detach();
}

}  // namespace qv::platform
