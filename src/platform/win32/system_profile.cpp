#include "platform/win32/system_profile.h"

#include <windows.h>

#include <vector>

#include "platform/win32/utf16.h"

namespace qv::platform::system_profile {

namespace {
constexpr DWORD kBuffer = 65536;
}

std::string GetStringA(const std::string& section, const std::string& key, const std::string& fallback,
                       const std::string& path) {
  std::vector<char> buf(kBuffer);
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buf.data(), kBuffer,
                                           path.c_str());
  return std::string(buf.data(), n);
}

int GetIntA(const std::string& section, const std::string& key, int fallback, const std::string& path) {
  return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, path.c_str()));
}

std::string GetSectionA(const std::string& section, const std::string& path) {
  std::vector<char> buf(kBuffer);
  const DWORD n = GetPrivateProfileSectionA(section.c_str(), buf.data(), kBuffer, path.c_str());
  return std::string(buf.data(), n + 1);
}

bool WriteStringA(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& path) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
}

std::string GetStringW(const std::string& section, const std::string& key, const std::string& fallback,
                       const std::string& path) {
  std::vector<wchar_t> buf(kBuffer);
  const DWORD n = GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(fallback).c_str(),
                                           buf.data(), kBuffer, Widen(path).c_str());
  return Narrow(buf.data(), static_cast<int>(n));
}

HeldOpen::HeldOpen(const std::string& path) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         0, nullptr);
  if (h != INVALID_HANDLE_VALUE) handle_ = h;
}

HeldOpen::~HeldOpen() {
  if (handle_) CloseHandle(handle_);
}

}  // namespace qv::platform::system_profile
