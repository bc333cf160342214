#include "platform/instance.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/window_channel.h"

namespace qv::platform {

InstanceLock::InstanceLock(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) {
    problem_ = "no program name to lock";
    return;
  }
  // The channel's folder: the other program finds this one's windows there,
  // so the two never disagree on which instance runs.
  const std::string folder = ChannelFolder(problem_);
  if (folder.empty()) return;
  const std::string path = folder + "/" + name + ".lock";
  // Close-on-exec: a started settings program must not keep the lock alive.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    problem_ = path + ": " + std::strerror(errno);
    return;
  }
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    problem_ = path + ": not a file of this user's";
    close(fd);
    return;
  }
  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    state_ = errno == EWOULDBLOCK ? State::kAlreadyRunning : State::kUnavailable;
    if (state_ == State::kUnavailable) problem_ = path + ": " + std::strerror(errno);
    close(fd);
    return;
  }
  handle_ = fd;
  state_ = State::kHeld;
}

InstanceLock::~InstanceLock() {
  // The file stays: removing lock files races with the next locker.
  if (state_ == State::kHeld) close(static_cast<int>(handle_));
}

}  // namespace qv::platform
