// The Windows profile services themselves, for tests that hold our own
// reading against them on the same files. Not used by the programs.
#pragma once

#include <optional>
#include <string>

namespace qv::platform::system_profile {

// The A functions: texts in the ANSI code page, as bytes. The path is ASCII.
std::string GetStringA(const std::string& section, const std::string& key, const std::string& fallback,
                       const std::string& path);
int GetIntA(const std::string& section, const std::string& key, int fallback, const std::string& path);
// The whole block as returned: entries, their NULs and the final NUL.
std::string GetSectionA(const std::string& section, const std::string& path);
bool WriteStringA(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& path);

// The W functions, with texts in UTF-8.
std::string GetStringW(const std::string& section, const std::string& key, const std::string& fallback,
                       const std::string& path);

// Holds a file open as some programs do: others may read and write it but
// not delete or rename it.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path);
  ~HeldOpen();
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool ok() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace qv::platform::system_profile
