#include "platform/file.h"

#include <windows.h>

#include <algorithm>

#include "platform/file_recovery.h"
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

// How many names (hard links) the file has; 0 when it cannot be told.
DWORD LinkCount(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD links = GetFileInformationByHandle(h, &info) ? info.nNumberOfLinks : 0;
  CloseHandle(h);
  return links;
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

// The file as it is on disk (ReadWholeFile without the recovery copy).
FileContents ReadPlain(const std::string& path, std::size_t max_bytes) {
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

// The path that names a file's lock and recovery copy: its final path (its
// folder's, for a file not made yet), in capitals, since Windows names one
// file in any case, by a short name, or through a link.
std::string KeyPath(const std::wstring& path, bool exists) {
  std::wstring full(32768, L'\0');
  const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(n > 0 && n < full.size() ? n : 0);
  if (full.empty()) full = path;
  std::wstring key = exists ? FinalPath(full) : std::wstring();
  if (!exists) {
    const std::size_t slash = full.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : FinalPath(full.substr(0, slash));
    if (!folder.empty()) key = folder + L"\\" + full.substr(slash + 1);
  }
  if (key.empty()) key = full;
  CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return Narrow(key);
}

// Recovery copies are kept in the user's temporary folder: the user's own,
// on disk (it outlives a crash and a power cut), and never one the user
// keeps files in.
std::wstring RecoveryCopyPath(const std::string& key_path) {
  std::wstring folder(MAX_PATH + 1, L'\0');
  const DWORD n = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (n == 0 || n >= folder.size()) return {};
  folder.resize(n);
  return folder + Widen("Quorvel-" + FileKey(key_path) + ".recovery");
}

std::optional<RecoveryCopy> FindRecoveryCopy(const std::string& key_path, std::wstring& copy_path) {
  copy_path = RecoveryCopyPath(key_path);
  if (copy_path.empty()) return std::nullopt;
  const FileContents file = ReadPlain(Narrow(copy_path), 2 * kMaxReadBytes + 4096);
  if (file.status != FileContents::Status::kOk) return std::nullopt;
  std::optional<RecoveryCopy> copy = DecodeRecoveryCopy(file.bytes);
  if (copy && copy->path != key_path) return std::nullopt;
  return copy;
}

// A new file at `path` whose contents are on disk before it takes the name.
bool WriteDurably(const std::wstring& path, std::string_view bytes, std::string& error) {
  const std::wstring temp = path + L".tmp";
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return error = SystemMessage(GetLastError()), false;
  DWORD err = WriteAll(h, bytes.data(), bytes.size()) && FlushFileBuffers(h) ? 0 : GetLastError();
  if (!CloseHandle(h) && err == 0) err = GetLastError();
  if (err == 0 && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    err = GetLastError();
  if (err != 0) {
    DeleteFileW(temp.c_str());
    error = SystemMessage(err);
  }
  return err == 0;
}

// Writes the file's bytes over it from the start, in pieces, and cuts it to
// their length, holding it exclusively meanwhile: readers wait on their
// shared lock rather than read half of it.
bool OverwriteFile(const std::wstring& path, std::string_view bytes, std::string& error) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return error = SystemMessage(GetLastError()), false;
  const DWORD lock = LockWholeFile(h, true, 10000);
  DWORD err = lock;
  LARGE_INTEGER zero{};
  if (err == 0 && !SetFilePointerEx(h, zero, nullptr, FILE_BEGIN)) err = GetLastError();
  for (std::size_t done = 0; err == 0 && done < bytes.size();) {
    const std::size_t piece = std::min(kInPlacePiece, bytes.size() - done);
    if (!WriteAll(h, bytes.data() + done, piece)) {
      err = GetLastError();
      break;
    }
    done += piece;
    StepForTesting(FileStep::kWrittenInPlace, done);
  }
  if (err == 0 && !SetEndOfFile(h)) err = GetLastError();
  if (err == 0 && !FlushFileBuffers(h)) err = GetLastError();
  if (lock == 0) UnlockWholeFile(h);
  CloseHandle(h);
  if (err != 0) error = err == ERROR_LOCK_VIOLATION ? "is locked by another program" : SystemMessage(err);
  return err == 0;
}

}  // namespace

// A file a writer left half written in place reads as that writer meant it,
// and is mended where this user may write it.
FileContents ReadWholeFile(const std::string& path, std::size_t max_bytes) {
  FileContents out = ReadPlain(path, max_bytes);
  if (out.status != FileContents::Status::kOk) return out;
  std::wstring copy_path;
  std::optional<RecoveryCopy> copy = FindRecoveryCopy(KeyPath(Widen(path), true), copy_path);
  if (!copy || StateOfWrite(out.bytes, *copy) != WriteState::kTorn || copy->new_bytes.size() > max_bytes) return out;
  FileTransaction mend(path, 2000);  // finishes the write under the lock
  if (mend.ok() && mend.contents().status == FileContents::Status::kOk) return mend.contents();
  out.bytes = std::move(copy->new_bytes);
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
      // The temporary file and the replacement name the target, so the
      // link stays a link.
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
  key_path_ = KeyPath(wpath, exists_);

  // The lock is a mutex of this session named after the file's final path,
  // not a file beside it: nothing appears in the user's folder, a folder the
  // user may not write needs no other way, and the system releases it when
  // its holder dies (the next holder is told, and finds any recovery copy).
  // Another session takes a lock of its own, so two users changing one
  // shared file at the same moment may lose one change, but never tear it.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen("Local\\Quorvel-file-" + FileKey(key_path_)).c_str());
  if (!mutex) {
    Fail("cannot be locked: " + SystemMessage(GetLastError()));
    return;
  }
  const DWORD waited = WaitForSingleObject(mutex, timeout_ms);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    const DWORD err = GetLastError();
    CloseHandle(mutex);
    Fail(waited == WAIT_TIMEOUT ? "is locked by another program" : "cannot be locked: " + SystemMessage(err));
    return;
  }
  lock_handle_ = reinterpret_cast<std::intptr_t>(mutex);

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
  std::wstring copy_path;
  std::string ignored;
  const std::optional<RecoveryCopy> copy = FindRecoveryCopy(key_path_, copy_path);
  if (!copy) return;
  const FileContents now = ReadPlain(resolved_, kMaxReadBytes);
  if (now.status == FileContents::Status::kOk && StateOfWrite(now.bytes, *copy) == WriteState::kTorn &&
      !OverwriteFile(Widen(resolved_), copy->new_bytes, ignored))
    return;
  DeleteFileW(copy_path.c_str());
}

FileTransaction::~FileTransaction() {
  if (lock_handle_ == -1) return;
  ReleaseMutex(reinterpret_cast<HANDLE>(lock_handle_));
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

  const std::wstring wpath = Widen(resolved_);
  if (exists_ && LinkCount(wpath) > 1) return WriteInPlace(bytes);  // a replacement would split the names
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
  StepForTesting(FileStep::kStaged);
  for (int attempt = 0; attempt < 25; ++attempt) {
    if (MoveFileExW(wtemp.c_str(), wpath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      StepForTesting(FileStep::kReplaced);
      return true;
    }
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
  const std::wstring copy_path = RecoveryCopyPath(key_path_);
  if (copy_path.empty()) return Fail("cannot be written in place without a recovery copy: no temporary folder");
  std::string why;
  if (!WriteDurably(copy_path, EncodeRecoveryCopy({key_path_, contents_.bytes, std::string(bytes)}), why))
    return Fail("cannot write its recovery copy: " + why);
  StepForTesting(FileStep::kRecoveryCopied);
  const std::wstring wpath = Widen(resolved_);
  if (OverwriteFile(wpath, bytes, why)) {
    DeleteFileW(copy_path.c_str());
    return true;
  }
  // Failed part way (a full disk): the old text goes back; where even that
  // fails, the copy stays and the next reading finishes the new one.
  std::string ignored;
  if (OverwriteFile(wpath, contents_.bytes, ignored)) DeleteFileW(copy_path.c_str());
  return Fail("cannot write in place: " + why);
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  FileTransaction transaction(path);
  return transaction.ok() && transaction.Commit(bytes);
}

bool FileExists(const std::string& path) {
  std::wstring wpath = Widen(path);
  return !wpath.empty() && GetFileAttributesW(wpath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string UserConfigFolder() { return {}; }

}  // namespace qv::platform
