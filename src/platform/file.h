// File services: whole-file reads, atomic replacement, an inter-process lock
// and line appends. Paths are UTF-8 on every system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::platform {

struct FileContents {
  enum class Status { kOk, kMissing, kError };
  Status status = Status::kMissing;
  std::string bytes;  // the whole file when kOk
};

// Reads the whole file. A file that does not exist is kMissing; one that
// exists but cannot be read is kError (never mistake it for an empty file).
FileContents ReadWholeFile(const std::string& path);

// Replaces the file's contents so that a reader, or a crash at any moment,
// sees either the old file or the new one: the bytes go to `path` + ".tmp"
// in the same folder, are flushed, and the temporary file is renamed over
// `path`. Writers of one path must be serialised (InterProcessLock), as
// they share that temporary name. On POSIX the old file's permissions are kept.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);

// An exclusive lock between processes on a lock file (created if missing,
// never deleted: deleting lock files races with the next locker). Held from
// construction until destruction when locked() is true. Waits for another
// holder at most `timeout_ms`.
class InterProcessLock {
 public:
  explicit InterProcessLock(const std::string& lock_path, unsigned timeout_ms = 10000);
  ~InterProcessLock();
  InterProcessLock(const InterProcessLock&) = delete;
  InterProcessLock& operator=(const InterProcessLock&) = delete;

  bool locked() const { return locked_; }

 private:
  std::intptr_t handle_ = -1;
  bool locked_ = false;
};

}  // namespace qv::platform
