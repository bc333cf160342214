#include "platform/log_file.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace qv::platform {

AppendResult AppendToFile(const std::string& path, std::string_view text) {
  // Text mode: the line ends Windows programs expect.
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  const std::wstring wide = Widen(path);
  if (wide.empty()) return AppendResult::kOpenFailed;
  // Append-only access: the system puts each write at the end of the file,
  // atomically against other appenders.
  HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return AppendResult::kOpenFailed;
  // Wine makes an append a size query and a write, so that two appenders
  // can write over each other; appenders of ours also take turns by a lock
  // on one byte far past any log's end, which nobody ever writes.
  OVERLAPPED turn{};
  turn.OffsetHigh = 0x7FFFFFFF;
  const BOOL locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  if (locked) UnlockFileEx(file, 0, 1, 0, &turn);
  const BOOL closed = CloseHandle(file);
  return ok && closed && written == bytes.size() ? AppendResult::kWritten : AppendResult::kWriteFailed;
}

}  // namespace qv::platform
