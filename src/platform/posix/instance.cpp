#include "platform/instance.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace qv::platform {

namespace {

bool IsPrivateFolder(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
         (st.st_mode & 077) == 0;
}

// $XDG_RUNTIME_DIR when it is set and usable; else /tmp/quorvel-<uid>, made
// here and used only when it is this user's and nobody else's.
std::string LockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    struct stat st{};
    if (stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid()) return runtime;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/quorvel-" + std::to_string(getuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return IsPrivateFolder(folder) ? folder : std::string();
}

}  // namespace

InstanceLock::InstanceLock(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return;
  const std::string folder = LockFolder();
  if (folder.empty()) return;
  const std::string path = folder + "/" + name + ".lock";
  // Close-on-exec: a started settings program must not keep the lock alive.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
    close(fd);
    return;
  }
  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    state_ = errno == EWOULDBLOCK ? State::kAlreadyRunning : State::kUnavailable;
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
