#include "platform/file.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace qv::platform {

namespace {

// Readers share delete access so that a writer can rename over the file
// while it is being read.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

}  // namespace

FileContents ReadWholeFile(const std::string& path) {
  FileContents out;
  std::wstring wpath = Widen(path);
  if (wpath.empty()) {
    out.status = FileContents::Status::kError;
    return out;
  }
  HANDLE h = CreateFileW(wpath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    out.status = (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
                     ? FileContents::Status::kMissing
                     : FileContents::Status::kError;
    return out;
  }
  out.status = FileContents::Status::kOk;
  char buf[16384];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      out.status = FileContents::Status::kError;
      out.bytes.clear();
      break;
    }
    if (n == 0) break;
    out.bytes.append(buf, n);
  }
  CloseHandle(h);
  return out;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  std::wstring wpath = Widen(path);
  if (wpath.empty()) return false;
  // A read-only file stays unchanged, as it would with an in-place write.
  DWORD attributes = GetFileAttributesW(wpath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  std::wstring wtemp = wpath + L".tmp";
  HANDLE h = CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(h, bytes.data(), bytes.size());
  // The data must be on disk before the rename makes it the profile.
  if (ok) ok = FlushFileBuffers(h) != 0;
  if (!CloseHandle(h)) ok = false;
  if (ok) {
    ok = false;
    // Another program (an editor, a virus scanner) may hold the profile
    // open without sharing delete access for a moment: retry briefly.
    for (int attempt = 0; attempt < 25 && !ok; ++attempt) {
      if (MoveFileExW(wtemp.c_str(), wpath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = true;
        break;
      }
      DWORD err = GetLastError();
      if (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION) break;
      Sleep(20);
    }
  }
  if (!ok) DeleteFileW(wtemp.c_str());
  return ok;
}

bool FileExists(const std::string& path) {
  std::wstring wpath = Widen(path);
  return !wpath.empty() && GetFileAttributesW(wpath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

InterProcessLock::InterProcessLock(const std::string& lock_path, unsigned timeout_ms) {
  std::wstring wpath = Widen(lock_path);
  if (wpath.empty()) return;
  HANDLE h = CreateFileW(wpath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  // Polled rather than blocking so that a stuck holder cannot hang us.
  ULONGLONG deadline = GetTickCount64() + timeout_ms;
  DWORD pause = 1;
  for (;;) {
    OVERLAPPED ov{};
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
      locked_ = true;
      return;
    }
    DWORD err = GetLastError();
    if (err != ERROR_LOCK_VIOLATION && err != ERROR_IO_PENDING) return;
    if (GetTickCount64() >= deadline) return;
    Sleep(pause);
    if (pause < 8) pause *= 2;
  }
}

InterProcessLock::~InterProcessLock() {
  if (handle_ == -1) return;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  if (locked_) {
    OVERLAPPED ov{};
    UnlockFileEx(h, 0, 1, 0, &ov);
  }
  CloseHandle(h);
}

}  // namespace qv::platform
