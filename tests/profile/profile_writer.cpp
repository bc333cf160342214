// Writes a profile from a separate process for the crash and concurrency
// tests.
//   profile_writer crash <profile> <first generation> <die after microseconds>
//     writes generation after generation; dies abruptly that long after
//     the first.
//   profile_writer keys <profile> <prefix> <count>
//     writes [Race] <prefix><i>=<i> for every i below count; exit code 0
//     when every write succeeded.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "generation.h"
#include "profile/profile.h"

namespace {

[[noreturn]] void DieNow() {
#ifdef SIGKILL
  std::raise(SIGKILL);
#endif
  // Where there is no SIGKILL: ending the process from this thread stops the
  // writing thread wherever it is, which is what the test needs.
  std::_Exit(137);
}

int Crash(const std::string& path, long first, long die_after_us) {
  qv::profile::ProfileFile file(path);
  // The clock starts after one whole write, so that slow process start-up
  // (Wine) cannot eat every run.
  if (!qv::test::WriteGeneration(file, first)) return 3;
  std::thread([die_after_us] {
    std::this_thread::sleep_for(std::chrono::microseconds(die_after_us));
    DieNow();
  }).detach();
  for (long generation = first + 1;; ++generation) {
    if (!qv::test::WriteGeneration(file, generation)) return 3;
  }
}

int Keys(const std::string& path, const std::string& prefix, int count) {
  qv::profile::ProfileFile file(path);
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    if (!file.WriteInt("Race", prefix + std::to_string(i), i)) ++failures;
  }
  return failures == 0 ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "crash") return Crash(argv[2], std::atol(argv[3]), std::atol(argv[4]));
  if (argc == 5 && std::string(argv[1]) == "keys") return Keys(argv[2], argv[3], std::atoi(argv[4]));
  return 2;
}
