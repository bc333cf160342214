// File services: bounded whole-file reads, and locked changes of a file that
// replace it in one step. Paths are UTF-8 on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::platform {

// What a settings file may hold; more is refused rather than read (a path
// naming an endless device must not grow memory without end).
inline constexpr std::size_t kMaxReadBytes = std::size_t{64} << 20;

struct FileContents {
  enum class Status { kOk, kMissing, kError };
  Status status = Status::kMissing;
  std::string bytes;    // the whole file when kOk
  std::string problem;  // when kError: why, in words ("is a folder", "Permission denied")
};

// Reads the whole file. A file that does not exist is kMissing; one that
// exists but cannot be read is kError (never mistake it for an empty file),
// and so is anything but a regular file (a folder, a FIFO, a device) and a
// file above `max_bytes`. Never blocks on a FIFO. Waits, briefly, while a
// FileTransaction writes the file in place, so a half-written file is never
// read; one that a writer left half written (it died) reads as the writer
// meant it, from the recovery copy, and is mended where the user may write it.
FileContents ReadWholeFile(const std::string& path, std::size_t max_bytes = kMaxReadBytes);

// One locked change of a file. The constructor resolves symbolic links (the
// lock, the temporary file and the replacement all name the file a link
// points to; a link to nothing is an error, not a new file), refuses files
// that cannot be written before anything is created, takes the exclusive
// lock of the file's real path (waiting at most `timeout_ms` for another
// holder; the lock is kept out of the file's folder, see the OS files) and
// reads the current contents. Commit replaces the file in one step: a
// reader, or a crash at any moment, sees the old file or the new one. Where
// replacing cannot work but writing can (a folder the user may not write, a
// file another program holds open without allowing deletion, one with
// several hard links, one whose owner a replacement could not keep), the
// file is written in place under the lock instead, as the system's own
// profile services would, behind a recovery copy in a folder of the user's
// own, so that a crash there too leaves the old file or the new one. The
// owner, group and mode (Windows: the security and attributes) of a
// replaced file are kept. Made and destroyed on one thread.
class FileTransaction {
 public:
  explicit FileTransaction(const std::string& path, unsigned timeout_ms = 10000);
  ~FileTransaction();
  FileTransaction(const FileTransaction&) = delete;
  FileTransaction& operator=(const FileTransaction&) = delete;

  // True when the lock is held and contents() is the file (kOk) or its
  // absence (kMissing); otherwise problem() says why.
  bool ok() const { return ok_; }
  const std::string& problem() const { return problem_; }
  const FileContents& contents() const { return contents_; }

  // Makes `bytes` the file's contents. At most once per transaction.
  bool Commit(std::string_view bytes);

 private:
  bool Fail(std::string problem);
  bool WriteInPlace(std::string_view bytes);
  void FinishInterruptedWrite();

  std::string resolved_;
  std::string key_path_;  // the path the lock and the recovery copy are named after
  std::intptr_t lock_handle_ = -1;
  bool exists_ = false;
  bool ok_ = false;
  bool committed_ = false;
  std::string problem_;
  FileContents contents_;
};

// Replaces the file's contents as one FileTransaction.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);

// The user's own settings folder for this program, made (mode 0700) when
// missing: "quorvel" in $XDG_CONFIG_HOME, else ~/.config. Empty where the
// user has none, and on Windows, where a copy's settings stay beside it.
std::string UserConfigFolder();

}  // namespace qv::platform
