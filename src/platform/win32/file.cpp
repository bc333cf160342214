#include "platform/file.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace qv::platform {

namespace {

// Readers share delete access so that a writer can rename over the file
// while it is being read.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n > 0 && text ? Narrow(text, static_cast<int>(n)) : std::string();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : message;
}

// A byte-range lock over the whole file (shared for readers, exclusive for
// a writer in place), polled rather than blocking so that a stuck holder
// cannot hang us. 0 when locked, else the error.
DWORD LockWholeFile(HANDLE h, bool exclusive, unsigned timeout_ms) {
  ULONGLONG deadline = GetTickCount64() + timeout_ms;
  DWORD pause = 1;
  for (;;) {
    OVERLAPPED ov{};
    if (LockFileEx(h, (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &ov))
      return 0;
    const DWORD err = GetLastError();
    if (err != ERROR_LOCK_VIOLATION && err != ERROR_IO_PENDING) return err;
    if (GetTickCount64() >= deadline) return ERROR_LOCK_VIOLATION;
    Sleep(pause);
    if (pause < 8) pause *= 2;
  }
}

void UnlockWholeFile(HANDLE h) {
  OVERLAPPED ov{};
  UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &ov);
}

bool WriteAll(HANDLE h, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// What an open handle holds from its start, within `max_bytes`; only files
// on a disk (no pipes, consoles or devices).
FileContents ReadOpenFile(HANDLE h, std::size_t max_bytes) {
  FileContents out;
  out.status = FileContents::Status::kError;
  if (GetFileType(h) != FILE_TYPE_DISK) {
    out.problem = "is not a regular file";
    return out;
  }
  const std::string too_large = "is larger than " + std::to_string(max_bytes >> 20) + " MiB";
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h, &size)) {
    out.problem = SystemMessage(GetLastError());
    return out;
  }
  if (static_cast<unsigned long long>(size.QuadPart) > max_bytes) {
    out.problem = too_large;
    return out;
  }
  LARGE_INTEGER zero{};
  SetFilePointerEx(h, zero, nullptr, FILE_BEGIN);
  out.bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  std::string buf(65536, '\0');
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr)) {
      out.problem = SystemMessage(GetLastError());
      out.bytes.clear();
      return out;
    }
    if (n == 0) break;
    if (out.bytes.size() + n > max_bytes) {
      out.problem = too_large;
      out.bytes.clear();
      return out;
    }
    out.bytes.append(buf.data(), n);
  }
  out.status = FileContents::Status::kOk;
  return out;
}

// Gives `to` the access rights (DACL) and attributes of `from`.
bool CopySecurityAndAttributes(const std::wstring& from, const std::wstring& to) {
  DWORD size = 0;
  GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  if (size == 0) return false;
  std::string descriptor(size, '\0');
  auto* sd = reinterpret_cast<PSECURITY_DESCRIPTOR>(descriptor.data());
  if (!GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, sd, size, &size)) return false;
  if (!SetFileSecurityW(to.c_str(), DACL_SECURITY_INFORMATION, sd)) return false;
  const DWORD attributes = GetFileAttributesW(from.c_str());
  const DWORD kept =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesW(to.c_str(), (attributes & kept) | FILE_ATTRIBUTE_NORMAL);
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The file a link or junction leads to, as a plain path; empty when it
// leads nowhere.
std::wstring FinalPath(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::wstring out(32768, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), FILE_NAME_NORMALIZED);
  CloseHandle(h);
  if (n == 0 || n >= out.size()) return {};
  out.resize(n);
  if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + out.substr(8);
  if (out.rfind(L"\\\\?\\", 0) == 0) return out.substr(4);
  return out;
}

}  // namespace

FileContents ReadWholeFile(const std::string& path, std::size_t max_bytes) {
  FileContents out;
  out.status = FileContents::Status::kError;
  std::wstring wpath = Widen(path);
  if (wpath.empty()) {
    out.problem = "no file name";
    return out;
  }
  const DWORD attributes = GetFileAttributesW(wpath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    out.problem = "is a folder";
    return out;
  }
  HANDLE h = CreateFileW(wpath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (IsMissing(err)) {
      out.status = FileContents::Status::kMissing;
    } else {
      out.problem = SystemMessage(err);
    }
    return out;
  }
  // A writer that must write in place holds the file exclusively meanwhile.
  const bool disk = GetFileType(h) == FILE_TYPE_DISK;
  const DWORD lock = disk ? LockWholeFile(h, false, 5000) : ERROR_NOT_SUPPORTED;
  if (lock == ERROR_LOCK_VIOLATION) {
    out.problem = "is being written by another program";
  } else {
    out = ReadOpenFile(h, max_bytes);
  }
  if (lock == 0) UnlockWholeFile(h);
  CloseHandle(h);
  return out;
}

FileTransaction::FileTransaction(const std::string& path, unsigned timeout_ms) {
  std::wstring wpath = Widen(path);
  if (wpath.empty()) {
    Fail("no file name");
    return;
  }
  DWORD attributes = GetFileAttributesW(wpath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = GetLastError();
    if (err != ERROR_FILE_NOT_FOUND) {
      Fail(err == ERROR_PATH_NOT_FOUND ? "its folder does not exist" : SystemMessage(err));
      return;
    }
  } else {
    exists_ = true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // The lock, the temporary file and the replacement name the target,
      // so the link stays a link and two names of one file share one lock.
      wpath = FinalPath(wpath);
      if (wpath.empty()) {
        Fail("is a symbolic link to nothing");
        return;
      }
      attributes = GetFileAttributesW(wpath.c_str());
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      Fail("is a folder");
      return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      Fail("is read-only");
      return;
    }
    // Refused before anything is created: a file we may not write, or one
    // another program holds without letting others write.
    HANDLE probe = CreateFileW(wpath.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
      Fail(SystemMessage(GetLastError()));
      return;
    }
    const bool disk = GetFileType(probe) == FILE_TYPE_DISK;
    CloseHandle(probe);
    if (!disk) {
      Fail("is not a regular file");
      return;
    }
  }
  resolved_ = Narrow(wpath);

  // The lock file lives beside the file. In a folder we may not write, an
  // existing lock file serves, else the file itself is locked and written in
  // place.
  const std::wstring lock_path = wpath + L".lock";
  HANDLE h = CreateFileW(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD err = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (err == ERROR_ACCESS_DENIED) {
    h = CreateFileW(lock_path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE && exists_) {
      h = CreateFileW(wpath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
      lock_is_target_ = h != INVALID_HANDLE_VALUE;
    }
    if (h == INVALID_HANDLE_VALUE) err = GetLastError();
  }
  if (h == INVALID_HANDLE_VALUE) {
    Fail(exists_ ? "cannot be locked: " + SystemMessage(err) : "its folder cannot be written: " + SystemMessage(err));
    return;
  }
  lock_handle_ = reinterpret_cast<std::intptr_t>(h);
  ULONGLONG deadline = GetTickCount64() + timeout_ms;
  DWORD pause = 1;
  for (;;) {
    OVERLAPPED ov{};
    const DWORD high = lock_is_target_ ? MAXDWORD : 0, low = lock_is_target_ ? MAXDWORD : 1;
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, low, high, &ov)) break;
    err = GetLastError();
    if ((err != ERROR_LOCK_VIOLATION && err != ERROR_IO_PENDING) || GetTickCount64() >= deadline) {
      CloseHandle(h);
      lock_handle_ = -1;
      Fail(err == ERROR_LOCK_VIOLATION ? "is locked by another program" : "cannot be locked: " + SystemMessage(err));
      return;
    }
    Sleep(pause);
    if (pause < 8) pause *= 2;
  }

  contents_ = lock_is_target_ ? ReadOpenFile(h, kMaxReadBytes) : ReadWholeFile(resolved_);
  if (contents_.status == FileContents::Status::kError) {
    Fail(contents_.problem);
    return;
  }
  exists_ = contents_.status == FileContents::Status::kOk;
  ok_ = true;
}

FileTransaction::~FileTransaction() {
  if (lock_handle_ == -1) return;
  // Closing the handle releases its locks.
  CloseHandle(reinterpret_cast<HANDLE>(lock_handle_));
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

  const std::wstring wpath = Widen(resolved_);
  const std::wstring wtemp = wpath + L".tmp";
  DeleteFileW(wtemp.c_str());  // one a crashed writer may have left
  HANDLE h = CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (exists_ && err == ERROR_ACCESS_DENIED) return WriteInPlace(bytes);
    return Fail("cannot write the temporary file: " + SystemMessage(err));
  }
  bool ok = WriteAll(h, bytes.data(), bytes.size());
  DWORD err = ok ? 0 : GetLastError();
  // The data must be on disk before the rename makes it the profile.
  if (ok && !FlushFileBuffers(h)) ok = false, err = GetLastError();
  if (!CloseHandle(h) && ok) ok = false, err = GetLastError();
  if (!ok) {
    DeleteFileW(wtemp.c_str());
    return Fail("cannot write the temporary file: " + SystemMessage(err));
  }
  // The replacement keeps the file's access rights and attributes, so a run
  // as administrator does not lock the user out; where they cannot be kept,
  // the file is written in place instead.
  if (exists_ && !CopySecurityAndAttributes(wpath, wtemp)) {
    DeleteFileW(wtemp.c_str());
    return WriteInPlace(bytes);
  }
  // A rename over the file: readers see the old file or the new one. Another
  // program (an editor, a virus scanner) may hold the file open without
  // sharing delete access for a moment: retry briefly, then write in place.
  for (int attempt = 0; attempt < 25; ++attempt) {
    if (MoveFileExW(wtemp.c_str(), wpath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    err = GetLastError();
    if (!exists_ || (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION)) break;
    Sleep(20);
  }
  DeleteFileW(wtemp.c_str());
  if (exists_ && (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION)) return WriteInPlace(bytes);
  return Fail("cannot replace: " + SystemMessage(err));
}

bool FileTransaction::WriteInPlace(std::string_view bytes) {
  if (!exists_) return Fail("cannot be created");
  HANDLE h = lock_is_target_ ? reinterpret_cast<HANDLE>(lock_handle_)
                             : CreateFileW(Widen(resolved_).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                           nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(SystemMessage(GetLastError()));
  // Readers wait on the file's shared lock while it is half written.
  DWORD err = lock_is_target_ ? 0 : LockWholeFile(h, true, 10000);
  bool ok = err == 0;
  LARGE_INTEGER zero{};
  if (ok && !SetFilePointerEx(h, zero, nullptr, FILE_BEGIN)) ok = false, err = GetLastError();
  if (ok && !WriteAll(h, bytes.data(), bytes.size())) ok = false, err = GetLastError();
  if (ok && !SetEndOfFile(h)) ok = false, err = GetLastError();
  if (ok && !FlushFileBuffers(h)) ok = false, err = GetLastError();
  if (!lock_is_target_) {
    if (err != ERROR_LOCK_VIOLATION) UnlockWholeFile(h);
    CloseHandle(h);
  }
  return ok || Fail("cannot write in place: " + SystemMessage(err));
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  FileTransaction transaction(path);
  return transaction.ok() && transaction.Commit(bytes);
}

bool FileExists(const std::string& path) {
  std::wstring wpath = Widen(path);
  return !wpath.empty() && GetFileAttributesW(wpath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace qv::platform
