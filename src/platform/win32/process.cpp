#include "platform/process.h"
#include "platform/process_system.h"

#include <windows.h>

#include <vector>

namespace qv::platform {

namespace {
std::string ToUtf8(const wchar_t* w, int len) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, len, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w, len, out.data(), n, nullptr, nullptr);
  return out;
}
}  // namespace

std::string ExecutablePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return ToUtf8(buf.data(), static_cast<int>(n));
    buf.resize(buf.size() * 2);
  }
}

void detail::ShareHeapWithThreads() {}  // one heap for all threads already

void detail::SystemBeep(unsigned frequency_hz, unsigned duration_ms) { ::Beep(frequency_hz, duration_ms); }

void SleepMs(unsigned ms) { ::Sleep(ms); }

}  // namespace qv::platform
