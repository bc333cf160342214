#include "platform/dialup.h"

#include <windows.h>

namespace qv::platform {

namespace {

// Both services are looked up when asked for, so that a system without the
// remote access service (or with a reduced registry API) still starts.
template <class Fn>
Fn Lookup(const wchar_t* dll, const char* name) {
  HMODULE module = GetModuleHandleW(dll);
  if (!module) module = LoadLibraryW(dll);
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

using RegOpenKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
using RegQueryValueExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);

// The oldest connection entry the service knows (412 bytes): its size, the
// connection handle, then the names. One entry only: with more connections
// up, the enumeration reports the buffer too small.
struct RasConnEntry {
  DWORD size;
  HANDLE connection;
  char entry_name[257];
  char device_type[17];
  char device_name[129];
};
static_assert(sizeof(void*) != 4 || sizeof(RasConnEntry) == 412, "the 412-byte entry");
using RasEnumConnectionsAFn = DWORD(WINAPI*)(RasConnEntry*, LPDWORD, LPDWORD);

}  // namespace

AutodialValue ReadAutodialValue() {
  AutodialValue out;
  const auto open = Lookup<RegOpenKeyExWFn>(L"advapi32.dll", "RegOpenKeyExW");
  const auto query = Lookup<RegQueryValueExWFn>(L"advapi32.dll", "RegQueryValueExW");
  const auto close = Lookup<RegCloseKeyFn>(L"advapi32.dll", "RegCloseKey");
  if (!open || !query || !close) return out;
  HKEY key = nullptr;
  const LONG opened =
      open(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, KEY_READ, &key);
  if (opened != ERROR_SUCCESS) {
    out.state = opened == ERROR_FILE_NOT_FOUND ? AutodialValue::State::kMissing : AutodialValue::State::kFailed;
    return out;
  }
  BYTE data[128];
  DWORD size = sizeof data;
  const LONG read = query(key, L"EnableAutodial", nullptr, nullptr, data, &size);
  close(key);
  if (read == ERROR_SUCCESS) {
    out.state = AutodialValue::State::kRead;
    out.data.assign(data, data + (size <= sizeof data ? size : sizeof data));
  } else {
    out.state = read == ERROR_FILE_NOT_FOUND ? AutodialValue::State::kMissing : AutodialValue::State::kFailed;
  }
  return out;
}

std::uintptr_t FindActiveDialupConnection() {
  const auto enumerate = Lookup<RasEnumConnectionsAFn>(L"rasapi32.dll", "RasEnumConnectionsA");
  if (!enumerate) return 0;
  RasConnEntry entry{};
  entry.size = sizeof entry;
  DWORD bytes = sizeof entry, count = 0;
  if (enumerate(&entry, &bytes, &count) != 0) return 0;
  return count >= 1 ? reinterpret_cast<std::uintptr_t>(entry.connection) : 0;
}

}  // namespace qv::platform
