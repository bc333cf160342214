// Environment variables as a test found them, given back when it ends.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

class ScopedEnv {
 public:
  ScopedEnv(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) value ? Set(name.c_str(), value->c_str()) : Set(name.c_str(), nullptr);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // nullptr unsets.
  static void Set(const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace qv::test
