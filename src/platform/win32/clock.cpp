// The real clock on Windows.
#include "platform/clock.h"

#include <windows.h>

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

  bool SetUtc(const SystemTime& t) override {
    if (!IsValidSystemTime(t)) return false;
    SYSTEMTIME st = ToWin(t);
    return SetSystemTime(&st) != 0;
  }

  bool SetLocal(const SystemTime& t) override {
    if (!IsValidSystemTime(t)) return false;
    SYSTEMTIME st = ToWin(t);
    return SetLocalTime(&st) != 0;
  }
};

}  // namespace

Clock& RealClock() {
  static WinClock clock;
  return clock;
}

// The OS zone is the installation's setting; TZ never moves it.
void CaptureOsZone() {}

bool SetOsZoneForTesting(const char* /*tz*/) { return false; }

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
