#include "platform/cancel_signal.h"

#include <fcntl.h>
#include <unistd.h>

namespace qv::platform {

CancelSignal::CancelSignal() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    handle_ = fds[0];
    write_end_ = fds[1];
  }
}

CancelSignal::~CancelSignal() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  if (write_end_ >= 0) close(static_cast<int>(write_end_));
}

void CancelSignal::Fire() {
  if (fired_.exchange(true, std::memory_order_acq_rel)) return;
  if (write_end_ >= 0) {
    const char byte = 1;
    // The pipe stays readable from now on; one byte is enough.
    [[maybe_unused]] ssize_t n = write(static_cast<int>(write_end_), &byte, 1);
  }
}

}  // namespace qv::platform
