#include "hosts/fltk/loop_fds.h"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

namespace qv::ui::fltk {

LoopDescriptors::LoopDescriptors(int count) : capacity_(count) {
  for (int i = 0; i < count; ++i) Hold();
}

LoopDescriptors::~LoopDescriptors() {
  for (int fd : held_) close(fd);
}

bool LoopDescriptors::Watchable(int fd) { return fd >= 0 && fd < FD_SETSIZE; }

void LoopDescriptors::Hold() {
  if (static_cast<int>(held_.size()) >= capacity_) return;
  const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (Watchable(fd))
    held_.push_back(fd);
  else if (fd >= 0)
    close(fd);
}

void LoopDescriptors::FreeOne() {
  if (held_.empty()) return;
  close(held_.back());
  held_.pop_back();
}

int LoopDescriptors::Low(int fd) {
  if (fd < 0 || Watchable(fd)) return fd;
  if (!held_.empty()) {
    // The copy takes the held number's place in one step.
    if (dup3(fd, held_.back(), O_CLOEXEC) >= 0) {
      const int low = held_.back();
      held_.pop_back();
      return low;
    }
  }
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (Watchable(copy)) return copy;
  if (copy >= 0) close(copy);
  return -1;
}

void LoopDescriptors::Release(int low, int fd) {
  if (low < 0 || low == fd) return;
  close(low);
  Hold();  // most often the number just freed
}

}  // namespace qv::ui::fltk
