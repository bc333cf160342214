// Writes a profile from a separate process for the crash, concurrency and
// reader tests, and times profile loads and saves for bench/profile-bench.
//   profile_writer crash <profile> <first generation> <die after microseconds>
//     writes generation after generation; dies abruptly that long after
//     the first.
//   profile_writer keys <profile> <prefix> <count>
//     writes [Race] <prefix><i>=<i> for every i below count; exit code 0
//     when every write succeeded.
//   profile_writer save <profile> <count>
//     saves the two settings sets of generation.h alternately, as the
//     settings program saves; exit code 0 when every save succeeded.
//   profile_writer bench <folder> <runs>
//     prints the median times of loads and saves, per key and in one step.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "generation.h"
#include "platform/file.h"
#include "profile/program_profile.h"

namespace {

using namespace qv;

double MedianMs(int runs, const std::function<void()>& run) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

int Bench(const std::string& folder, int runs) {
  const std::string small = folder + "/small.ini", big = folder + "/big.ini";
  std::string base = "[Property]\r\nDefaultServer=ntp.example.jp\r\nWindowPos=1,100,80,1\r\n";
  std::string bulk = base + "[Bulk]\r\n";
  for (int i = 0; bulk.size() < (10u << 20); ++i) bulk += "key" + std::to_string(i) + "=a value of some length\r\n";
  if (!platform::ReplaceFileAtomically(small, base) || !platform::ReplaceFileAtomically(big, bulk)) return 3;
  profile::ProfileFile small_file(small), big_file(big);
  int which = 0;
  auto per_key_save = [&](profile::ProfileFile& f) {
    profile::SaveSettingsProperties(f, test::SettingsSet(++which % 2));
  };
  auto per_key_load = [&](profile::ProfileFile& f) {
    profile::LoadMainProperties(f);
    profile::LoadSettingsProperties(f);
  };
  // One line: per key, then in one step (measured in that order).
  auto line = [&](const char* what, int n, const std::function<void()>& per_key, const std::function<void()>& one) {
    const double a = MedianMs(n, per_key);
    const double b = MedianMs(n, one);
    std::printf("| %s | %.2f | %.2f |\n", what, a, b);
  };
  std::printf("| operation | per key (ms) | one step (ms) |\n|---|---|---|\n");
  line("save, small profile", runs, [&] { per_key_save(small_file); },
       [&] { profile::SaveSettings(small, test::SettingsSet(++which % 2)); });
  line("load, small profile", runs, [&] { per_key_load(small_file); }, [&] { profile::LoadProfile(small); });
  const int big_runs = std::max(1, runs / 4);
  line("save, 10 MB profile", big_runs, [&] { per_key_save(big_file); },
       [&] { profile::SaveSettings(big, test::SettingsSet(++which % 2)); });
  line("load, 10 MB profile", big_runs, [&] { per_key_load(big_file); }, [&] { profile::LoadProfile(big); });
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  const std::string mode = argv[1];
  if (mode == "bench") return Bench(argv[2], std::atoi(argv[3]));
  if (mode == "save") {
    bool ok = true;
    for (int i = 0; i < std::atoi(argv[3]); ++i) ok = profile::SaveSettings(argv[2], test::SettingsSet(i % 2)).ok && ok;
    return ok ? 0 : 4;
  }
  if (argc != 5) return 2;
  profile::ProfileFile file(argv[2]);
  if (mode == "keys") {
    bool ok = true;
    for (int i = 0; i < std::atoi(argv[4]); ++i) ok = file.WriteInt("Race", argv[3] + std::to_string(i), i) && ok;
    return ok ? 0 : 4;
  }
  if (mode != "crash") return 2;
  // The clock starts after one whole write, so that slow process start-up
  // (Wine) cannot eat every run.
  long generation = std::atol(argv[3]);
  if (!test::WriteGeneration(file, generation)) return 3;
  std::thread([die_after_us = std::atol(argv[4])] {
    std::this_thread::sleep_for(std::chrono::microseconds(die_after_us));
#ifdef SIGKILL
    std::raise(SIGKILL);
#endif
    // Where there is no SIGKILL: ending the process from this thread stops
    // the writing thread wherever it is, which is what the test needs.
    std::_Exit(137);
  }).detach();
  while (test::WriteGeneration(file, ++generation)) {
  }
  return 3;
}
