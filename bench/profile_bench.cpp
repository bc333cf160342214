// Times profile loads and saves for bench/profile-bench: per key (one file
// access per key, as the profile operations work) beside one step, on a
// small profile and on a 10 MB one.
//   profile_bench <folder> <runs>
//     prints the median times of loads and saves as a table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
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
  if (argc != 3) return 2;
  return Bench(argv[1], std::atoi(argv[2]));
}
