// The real clock on Windows.
#include "platform/clock.h"
#include "platform/test_seams.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace qv::platform {

namespace {

using ReadFileTimeFn = VOID(WINAPI*)(LPFILETIME);

// GetSystemTimeAsFileTime moves in steps of up to 15.6 ms on many systems;
// the precise reading exists from Windows 8 on, so look it up at run time.
ReadFileTimeFn FileTimeReader() {
  static const ReadFileTimeFn reader = [] {
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
      if (FARPROC proc = GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")) {
        return reinterpret_cast<ReadFileTimeFn>(reinterpret_cast<void (*)()>(proc));
      }
    }
    return &GetSystemTimeAsFileTime;
  }();
  return reader;
}

SYSTEMTIME ToWin(const SystemTime& t) {
  SYSTEMTIME st{};
  st.wYear = t.year;
  st.wMonth = t.month;
  st.wDayOfWeek = t.day_of_week;
  st.wDay = t.day;
  st.wHour = t.hour;
  st.wMinute = t.minute;
  st.wSecond = t.second;
  st.wMilliseconds = t.milliseconds;
  return st;
}

SystemTime FromWin(const SYSTEMTIME& st) {
  SystemTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day_of_week = st.wDayOfWeek;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.milliseconds = st.wMilliseconds;
  return t;
}

ClockSet Refuse(DWORD error) {
  return ClockSet::Refused(error == ERROR_PRIVILEGE_NOT_HELD  ? ClockRefusal::kNoRight
                           : error == ERROR_INVALID_PARAMETER ? ClockRefusal::kImpossibleTime
                                                              : ClockRefusal::kOther,
                           error);
}

ClockSet Report(BOOL ok) { return ok ? ClockSet{} : Refuse(GetLastError()); }

// Wine grants every process the system-time privilege and answers for the
// Unix process beneath, so there the Unix user's rights are what count.
bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The Unix process's own /proc/self/status, read through Wine's mapping of
// Unix paths; empty when that cannot be done.
std::string WineProcStatus() {
  using DosNameFn = LPWSTR(CDECL*)(LPCSTR);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel ? GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr;
  if (!proc) return {};
  LPWSTR name = reinterpret_cast<DosNameFn>(reinterpret_cast<void (*)()>(proc))("/proc/self/status");
  if (!name) return {};
  HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HeapFree(GetProcessHeap(), 0, name);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (text.size() < (1u << 20) && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    text.append(buffer, got);
  }
  CloseHandle(file);
  return text;
}

// True only when the token provably lacks the privilege to set the clock.
bool TokenLacksSystemTimePrivilege() {
  LUID wanted{};
  if (!LookupPrivilegeValueW(nullptr, L"SeSystemtimePrivilege", &wanted)) return false;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  bool read = size >= sizeof(TOKEN_PRIVILEGES) &&
              GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size);
  CloseHandle(token);
  if (!read) return false;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  if (offsetof(TOKEN_PRIVILEGES, Privileges) + privileges->PrivilegeCount * sizeof(LUID_AND_ATTRIBUTES) > size) {
    return false;
  }
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID& luid = privileges->Privileges[i].Luid;
    if (luid.LowPart == wanted.LowPart && luid.HighPart == wanted.HighPart) return false;
  }
  return true;
}

std::int64_t Join(const FILETIME& ft) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

class WinClock final : public Clock {
 public:
  std::int64_t UtcFileTime() override {
    FILETIME ft{};
    FileTimeReader()(&ft);
    return Join(ft);
  }

  SystemTime LocalTime() override {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return FromWin(st);
  }

  ClockSet SetUtc(const SystemTime& t) override {
    if (!IsValidSystemTime(t)) return Refuse(ERROR_INVALID_PARAMETER);
    SYSTEMTIME st = ToWin(t);
    return Report(SetSystemTime(&st));
  }

  ClockSet SetLocal(const SystemTime& t) override {
    if (!IsValidSystemTime(t)) return Refuse(ERROR_INVALID_PARAMETER);
    SYSTEMTIME st = ToWin(t);
    return Report(SetLocalTime(&st));
  }
};

}  // namespace

Clock& RealClock() {
  static WinClock clock;
  return clock;
}

static_assert(ERROR_PRIVILEGE_NOT_HELD == 1314);
std::uint32_t NoClockRightError() { return ERROR_PRIVILEGE_NOT_HELD; }

bool ProvenUnableToSetClock() {
  if (UnderWine()) return StatusProvesNoClockRight(WineProcStatus());
  return TokenLacksSystemTimePrivilege();
}

// The OS zone is the installation's setting; TZ never moves it.
void CaptureOsZone() {}

bool SetOsZoneForTesting(const char* /*tz*/) { return false; }

std::string OsZoneProblem() { return {}; }  // the OS keeps its zone itself

bool OsLocalToUtc(const SystemTime& local, std::int64_t& utc_file_time) {
  if (!IsValidSystemTime(local)) return false;
  SYSTEMTIME lt = ToWin(local);
  SYSTEMTIME ut{};
  FILETIME ft{};
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &lt, &ut) || !SystemTimeToFileTime(&ut, &ft)) return false;
  utc_file_time = Join(ft);
  return true;
}

bool UtcToOsLocal(std::int64_t utc_file_time, SystemTime& local) {
  if (utc_file_time < 0) return false;
  FILETIME ft{};
  ft.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(utc_file_time) & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(utc_file_time) >> 32);
  SYSTEMTIME ut{};
  SYSTEMTIME lt{};
  if (!FileTimeToSystemTime(&ft, &ut) || !SystemTimeToTzSpecificLocalTime(nullptr, &ut, &lt)) return false;
  local = FromWin(lt);
  return true;
}

}  // namespace qv::platform
