// A fresh folder, removed with its contents at the end of the test, and
// files named by UTF-8 paths.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace qv::test {

// Paths are UTF-8 text in the code base; the standard library's narrow
// paths are not on Windows.
inline std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}
inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(FsPath(path), std::ios::binary) << bytes;
}

class TempDir {
 public:
  // fast: memory-backed where the system has one (/dev/shm). Every profile
  // write flushes to disk, which costs milliseconds on a real disk; tests of
  // thousands of writes are about renames and locks, which it shares.
  explicit TempDir(bool fast = false) {
    static std::atomic<int> counter{0};
    std::error_code ignored;
    const bool shm = fast && std::filesystem::is_directory("/dev/shm", ignored);
    path_ = (shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
            ("qv_profile_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "_" +
             std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // A file name inside the folder, as a UTF-8 path for the profile code.
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  // What the folder holds, names sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(Utf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace qv::test
