#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace qv::platform {

namespace {

std::string Errno(int error) { return std::strerror(error); }

// flock, polled rather than blocking so that a stuck holder cannot hang us.
// 0 when locked, else the error (EWOULDBLOCK: still held at the deadline).
int LockWithin(int fd, int operation, unsigned timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  auto pause = std::chrono::microseconds(20);
  for (;;) {
    if (flock(fd, operation | LOCK_NB) == 0) return 0;
    const int error = errno;
    if (error != EWOULDBLOCK && error != EINTR) return error;
    if (std::chrono::steady_clock::now() >= deadline) return EWOULDBLOCK;
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(1)) pause *= 2;
  }
}

bool WriteAllAt(int fd, const char* data, std::size_t size, off_t offset) {
  while (size > 0) {
    ssize_t n = pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    offset += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// What an open descriptor holds, within `max_bytes`; only regular files.
FileContents ReadOpenFile(int fd, std::size_t max_bytes) {
  FileContents out;
  out.status = FileContents::Status::kError;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    out.problem = Errno(errno);
    return out;
  }
  if (S_ISDIR(st.st_mode)) {
    out.problem = "is a folder";
    return out;
  }
  if (!S_ISREG(st.st_mode)) {
    out.problem = "is not a regular file";
    return out;
  }
  const std::string too_large = "is larger than " + std::to_string(max_bytes >> 20) + " MiB";
  if (static_cast<unsigned long long>(st.st_size) > max_bytes) {
    out.problem = too_large;
    return out;
  }
  out.bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (off_t offset = 0;;) {
    ssize_t n = pread(fd, buf, sizeof buf, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      out.problem = Errno(errno);
      out.bytes.clear();
      return out;
    }
    if (n == 0) break;
    // The file may grow while it is read.
    if (out.bytes.size() + static_cast<std::size_t>(n) > max_bytes) {
      out.problem = too_large;
      out.bytes.clear();
      return out;
    }
    out.bytes.append(buf, static_cast<std::size_t>(n));
    offset += n;
  }
  out.status = FileContents::Status::kOk;
  return out;
}

// "dir/name" split at the last "/"; "." for a bare name.
std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string RealPath(const std::string& path) {
  std::string out;
  if (char* real = realpath(path.c_str(), nullptr)) {
    out = real;
    free(real);
  }
  return out;
}

void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

FileContents ReadWholeFile(const std::string& path, std::size_t max_bytes) {
  // Non-blocking, so that opening a FIFO nobody writes returns at once.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    FileContents out;
    const int error = errno;
    out.status = error == ENOENT || error == ENOTDIR ? FileContents::Status::kMissing : FileContents::Status::kError;
    if (out.status == FileContents::Status::kError) out.problem = Errno(error);
    return out;
  }
  // A writer that must write in place holds the file exclusively meanwhile.
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LockWithin(fd, LOCK_SH, 5000) == EWOULDBLOCK) {
    close(fd);
    FileContents out;
    out.status = FileContents::Status::kError;
    out.problem = "is being written by another program";
    return out;
  }
  FileContents out = ReadOpenFile(fd, max_bytes);
  close(fd);  // also releases the shared lock
  return out;
}

FileTransaction::FileTransaction(const std::string& path, unsigned timeout_ms) {
  if (path.empty()) {
    Fail("no file name");
    return;
  }
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    resolved_ = RealPath(path);
    if (resolved_.empty()) {
      Fail(S_ISLNK(st.st_mode) && errno == ENOENT ? "is a symbolic link to nothing" : Errno(errno));
      return;
    }
    exists_ = true;
  } else if (errno == ENOENT) {
    auto [folder, name] = SplitFolder(path);
    const std::string real_folder = RealPath(folder);
    if (real_folder.empty() || name.empty()) {
      Fail(name.empty() ? "no file name" : "its folder: " + Errno(errno));
      return;
    }
    resolved_ = (real_folder == "/" ? "" : real_folder) + "/" + name;
  } else {
    Fail(Errno(errno));
    return;
  }

  // Refused before anything is created.
  const std::string folder = SplitFolder(resolved_).first;
  if (exists_) {
    if (stat(resolved_.c_str(), &st) != 0) {
      Fail(Errno(errno));
      return;
    }
    if (S_ISDIR(st.st_mode) || !S_ISREG(st.st_mode)) {
      Fail(S_ISDIR(st.st_mode) ? "is a folder" : "is not a regular file");
      return;
    }
    if (faccessat(AT_FDCWD, resolved_.c_str(), W_OK, AT_EACCESS) != 0) {
      Fail(Errno(errno));
      return;
    }
  } else if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    Fail("its folder: " + Errno(errno));
    return;
  }

  // The lock file lives beside the file. In a folder we may not write, an
  // existing lock file serves (a read-only descriptor can be locked), else
  // the file itself is locked and written in place.
  const std::string lock_path = resolved_ + ".lock";
  int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && exists_) {
      fd = open(resolved_.c_str(), O_RDWR | O_CLOEXEC);
      lock_is_target_ = fd >= 0;
    }
  }
  if (fd < 0) {
    Fail("cannot be locked: " + Errno(errno));
    return;
  }
  lock_handle_ = fd;
  if (const int error = LockWithin(fd, LOCK_EX, timeout_ms)) {
    Fail(error == EWOULDBLOCK ? "is locked by another program" : "cannot be locked: " + Errno(error));
    return;
  }

  contents_ = lock_is_target_ ? ReadOpenFile(fd, kMaxReadBytes) : ReadWholeFile(resolved_);
  if (contents_.status == FileContents::Status::kError) {
    Fail(contents_.problem);
    return;
  }
  exists_ = contents_.status == FileContents::Status::kOk;
  ok_ = true;
}

FileTransaction::~FileTransaction() {
  if (lock_handle_ >= 0) close(static_cast<int>(lock_handle_));  // also releases the lock
}

bool FileTransaction::Fail(std::string problem) {
  problem_ = std::move(problem);
  ok_ = false;
  return false;
}

bool FileTransaction::Commit(std::string_view bytes) {
  if (!ok_ || committed_) return false;
  committed_ = true;
  if (lock_is_target_) return WriteInPlace(bytes);

  struct stat st;
  const bool have = exists_ && stat(resolved_.c_str(), &st) == 0;
  // Replacing would split the hard links from each other.
  if (have && st.st_nlink > 1) return WriteInPlace(bytes);

  const std::string temp = resolved_ + ".tmp";
  unlink(temp.c_str());  // one a crashed writer may have left, perhaps not ours
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (have && (errno == EACCES || errno == EROFS || errno == EPERM)) return WriteInPlace(bytes);
    return Fail("cannot write " + temp + ": " + Errno(errno));
  }
  bool ok = WriteAllAt(fd, bytes.data(), bytes.size(), 0);
  int error = errno;
  if (ok && have) {
    // The replacement keeps the owner and the mode, so a run as root does
    // not lock the user out. Where the owner cannot be kept, write in place.
    if ((st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(fd, st.st_uid, st.st_gid) != 0) {
      close(fd);
      unlink(temp.c_str());
      return WriteInPlace(bytes);
    }
    ok = fchmod(fd, st.st_mode & 07777) == 0;
    error = errno;
  }
  // The data must be on disk before the rename makes it the file, or a power
  // cut could leave an empty file under the old name.
  if (ok && fsync(fd) != 0) ok = false, error = errno;
  if (close(fd) != 0 && ok) ok = false, error = errno;
  if (ok && rename(temp.c_str(), resolved_.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    unlink(temp.c_str());
    return Fail("cannot replace: " + Errno(error));
  }
  SyncFolder(SplitFolder(resolved_).first);
  return true;
}

bool FileTransaction::WriteInPlace(std::string_view bytes) {
  if (!exists_) return Fail("cannot be created");
  int fd = lock_is_target_ ? static_cast<int>(lock_handle_) : open(resolved_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Fail(Errno(errno));
  // Readers wait on the file's shared lock while it is half written.
  int error = lock_is_target_ ? 0 : LockWithin(fd, LOCK_EX, 10000);
  bool ok = error == 0;
  if (ok && !WriteAllAt(fd, bytes.data(), bytes.size(), 0)) ok = false, error = errno;
  if (ok && ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) ok = false, error = errno;
  if (ok && fsync(fd) != 0) ok = false, error = errno;
  if (!lock_is_target_ && close(fd) != 0 && ok) ok = false, error = errno;
  return ok || Fail("cannot write in place: " + Errno(error));
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  FileTransaction transaction(path);
  return transaction.ok() && transaction.Commit(bytes);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace qv::platform
