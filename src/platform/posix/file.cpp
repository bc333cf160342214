#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace qv::platform {

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

FileContents ReadWholeFile(const std::string& path) {
  FileContents out;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    out.status = errno == ENOENT ? FileContents::Status::kMissing : FileContents::Status::kError;
    return out;
  }
  out.status = FileContents::Status::kOk;
  char buf[16384];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      out.status = FileContents::Status::kError;
      out.bytes.clear();
      break;
    }
    if (n == 0) break;
    out.bytes.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return out;
}

bool ReplaceFileAtomically(const std::string& path_given, std::string_view bytes) {
  // A read-only file stays unchanged, as it would with an in-place write.
  if (access(path_given.c_str(), W_OK) != 0 && errno != ENOENT) return false;
  // Through a symbolic link, replace the file it names, not the link.
  std::string path = path_given;
  if (char* real = realpath(path_given.c_str(), nullptr)) {
    path = real;
    free(real);
  }
  const std::string temp = path + ".tmp";
  mode_t mode = 0666;
  struct stat st;
  bool keep_mode = stat(path.c_str(), &st) == 0;
  if (keep_mode) mode = st.st_mode & 07777;

  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  if (ok && keep_mode) ok = fchmod(fd, mode) == 0;
  // The data must be on disk before the rename makes it the profile, or a
  // power cut could leave an empty file under the old name.
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

InterProcessLock::InterProcessLock(const std::string& lock_path, unsigned timeout_ms) {
  int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  handle_ = fd;
  // Polled rather than blocking so that a stuck holder cannot hang us.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  auto pause = std::chrono::microseconds(20);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      locked_ = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(1)) pause *= 2;
  }
}

InterProcessLock::~InterProcessLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));  // also releases the lock
}

}  // namespace qv::platform
