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

#include "platform/file_recovery.h"
#include "platform/window_channel.h"

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

// The file as it is on disk (ReadWholeFile without the recovery copy).
FileContents ReadPlain(const std::string& path, std::size_t max_bytes) {
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

bool IsOwnFolder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 022) == 0;
}

// `base`, or a folder in it, made as far as it is missing; true when it is
// then the user's own.
bool MakeOwnFolder(const std::string& base, const std::string& folder) {
  for (std::size_t slash = base.find('/', 1);; slash = base.find('/', slash + 1)) {
    mkdir(base.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
  mkdir(folder.c_str(), 0700);
  return IsOwnFolder(folder);
}

// Where recovery copies are kept: "quorvel" in $XDG_STATE_HOME (else
// ~/.local/state), a folder of this user's that outlives the session and a
// power cut, as a copy must (the runtime folder is gone after either); made
// when `create`. Where the user has none to use, the runtime folder of the
// window channel, which at least outlives the writer.
std::string RecoveryFolder(bool create, std::string& error) {
  std::string base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.local/state";
  }
  if (!base.empty()) {
    const std::string folder = base + "/quorvel";
    if (create ? MakeOwnFolder(base, folder) : IsOwnFolder(folder)) return folder;
  }
  return ChannelFolder(error);
}

// The recovery copy for the file at canonical path `real`; nullopt when
// there is none that belongs to it. Its path in `copy_path`.
std::optional<RecoveryCopy> FindRecoveryCopy(const std::string& real, std::string& copy_path) {
  std::string ignored;
  const std::string folder = RecoveryFolder(false, ignored);
  if (folder.empty()) return std::nullopt;
  copy_path = folder + "/" + FileKey(real) + ".recovery";
  const FileContents file = ReadPlain(copy_path, 2 * kMaxReadBytes + 4096);
  if (file.status != FileContents::Status::kOk) return std::nullopt;
  std::optional<RecoveryCopy> copy = DecodeRecoveryCopy(file.bytes);
  if (copy && copy->path != real) return std::nullopt;
  return copy;
}

// A new file at `path` whose contents are on disk before it takes the name.
bool WriteDurably(const std::string& path, std::string_view bytes, std::string& error) {
  const std::string temp = path + ".tmp";
  unlink(temp.c_str());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return error = temp + ": " + Errno(errno), false;
  int why = WriteAllAt(fd, bytes.data(), bytes.size(), 0) && fsync(fd) == 0 ? 0 : errno;
  if (close(fd) != 0 && why == 0) why = errno;
  if (why == 0 && rename(temp.c_str(), path.c_str()) != 0) why = errno;
  if (why != 0) {
    error = path + ": " + Errno(why);
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(SplitFolder(path).first);
  return true;
}

// Writes the file's bytes over it from the start, in pieces, and cuts it to
// their length, holding it exclusively meanwhile: readers wait on their
// shared lock rather than read half of it.
bool OverwriteFile(const std::string& path, std::string_view bytes, std::string& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return error = Errno(errno), false;
  int why = LockWithin(fd, LOCK_EX, 10000);
  for (std::size_t done = 0; why == 0 && done < bytes.size();) {
    const std::size_t piece = std::min(kInPlacePiece, bytes.size() - done);
    if (!WriteAllAt(fd, bytes.data() + done, piece, static_cast<off_t>(done))) {
      why = errno;
      break;
    }
    done += piece;
    StepForTesting(FileStep::kWrittenInPlace, done);
  }
  if (why == 0 && ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) why = errno;
  if (why == 0 && fsync(fd) != 0) why = errno;
  if (close(fd) != 0 && why == 0) why = errno;
  if (why != 0) error = why == EWOULDBLOCK ? "is locked by another program" : Errno(why);
  return why == 0;
}

}  // namespace

// A file a writer left half written in place reads as that writer meant it,
// and is mended where this user may write it.
FileContents ReadWholeFile(const std::string& path, std::size_t max_bytes) {
  FileContents out = ReadPlain(path, max_bytes);
  if (out.status != FileContents::Status::kOk) return out;
  const std::string real = RealPath(path);
  std::string copy_path;
  std::optional<RecoveryCopy> copy = real.empty() ? std::nullopt : FindRecoveryCopy(real, copy_path);
  if (!copy || StateOfWrite(out.bytes, *copy) != WriteState::kTorn || copy->new_bytes.size() > max_bytes) return out;
  FileTransaction mend(path, 2000);  // finishes the write under the lock
  if (mend.ok() && mend.contents().status == FileContents::Status::kOk) return mend.contents();
  out.bytes = std::move(copy->new_bytes);
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

  // The lock is a file named after the real path in this user's runtime
  // folder (the window channel's), not one beside the file: nothing appears
  // in the user's folder, and a folder the user may not write needs no other
  // way. Every process of this user that changes the file takes the same
  // lock; another user takes a lock of their own, so two users changing one
  // shared file at the same moment may lose one change, but never tear the
  // file. Lock files are never removed: another process may hold one.
  key_path_ = resolved_;
  std::string why;
  const std::string lock_folder = ChannelFolder(why);
  if (lock_folder.empty()) {
    Fail("cannot be locked: " + why);
    return;
  }
  const std::string lock_path = lock_folder + "/file-" + FileKey(key_path_) + ".lock";
  const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    Fail("cannot be locked: " + lock_path + ": " + Errno(errno));
    return;
  }
  lock_handle_ = fd;
  if (const int error = LockWithin(fd, LOCK_EX, timeout_ms)) {
    Fail(error == EWOULDBLOCK ? "is locked by another program" : "cannot be locked: " + Errno(error));
    return;
  }

  FinishInterruptedWrite();
  contents_ = ReadPlain(resolved_, kMaxReadBytes);
  if (contents_.status == FileContents::Status::kError) {
    Fail(contents_.problem);
    return;
  }
  exists_ = contents_.status == FileContents::Status::kOk;
  ok_ = true;
  StepForTesting(FileStep::kLocked);
}

// A recovery copy found under the lock was left by a writer that died while
// writing in place: its write is finished when the file is torn, and the
// copy goes. A copy that cannot be acted on now stays for a later try.
void FileTransaction::FinishInterruptedWrite() {
  std::string copy_path, ignored;
  const std::optional<RecoveryCopy> copy = FindRecoveryCopy(key_path_, copy_path);
  if (!copy) return;
  const FileContents now = ReadPlain(resolved_, kMaxReadBytes);
  if (now.status == FileContents::Status::kOk && StateOfWrite(now.bytes, *copy) == WriteState::kTorn &&
      !OverwriteFile(resolved_, copy->new_bytes, ignored))
    return;
  unlink(copy_path.c_str());
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
  if (ok) StepForTesting(FileStep::kStaged);
  if (ok && rename(temp.c_str(), resolved_.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    unlink(temp.c_str());
    return Fail("cannot replace: " + Errno(error));
  }
  SyncFolder(SplitFolder(resolved_).first);
  StepForTesting(FileStep::kReplaced);
  return true;
}

bool FileTransaction::WriteInPlace(std::string_view bytes) {
  if (!exists_) return Fail("cannot be created");
  std::string why;
  const std::string folder = RecoveryFolder(true, why);
  if (folder.empty()) return Fail("cannot be written in place without a recovery copy: " + why);
  const std::string copy_path = folder + "/" + FileKey(key_path_) + ".recovery";
  if (!WriteDurably(copy_path, EncodeRecoveryCopy({key_path_, contents_.bytes, std::string(bytes)}), why))
    return Fail("cannot write its recovery copy: " + why);
  StepForTesting(FileStep::kRecoveryCopied);
  if (OverwriteFile(resolved_, bytes, why)) {
    unlink(copy_path.c_str());
    return true;
  }
  // Failed part way (a full disk): the old text goes back; where even that
  // fails, the copy stays and the next reading finishes the new one.
  std::string ignored;
  if (OverwriteFile(resolved_, contents_.bytes, ignored)) unlink(copy_path.c_str());
  return Fail("cannot write in place: " + why);
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  FileTransaction transaction(path);
  return transaction.ok() && transaction.Commit(bytes);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string UserConfigFolder() {
  std::string base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.config";
  }
  if (base.empty()) return {};
  const std::string folder = base + "/quorvel";
  return MakeOwnFolder(base, folder) ? folder : std::string();
}

}  // namespace qv::platform
