#include "platform/process.h"
#include "platform/process_system.h"


#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace qv::platform {

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<std::size_t>(n));
}

void detail::ShareHeapWithThreads() { mallopt(M_ARENA_MAX, 1); }

void detail::SystemBeep(unsigned /*frequency_hz*/, unsigned duration_ms) {
  // No speaker API here: the terminal bell, when there is a terminal.
  if (isatty(STDERR_FILENO)) {
    std::fputc('\a', stderr);
    std::fflush(stderr);
  }
  SleepMs(duration_ms);
}

void SleepMs(unsigned ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace qv::platform
