// Writes a profile from a separate process for the crash, concurrency and
// reader tests.
//   profile_writer crash <profile> <first generation> <die after microseconds>
//     writes generation after generation; dies abruptly that long after
//     the first.
//   profile_writer keys <profile> <prefix> <count>
//     writes [Race] <prefix><i>=<i> for every i below count; exit code 0
//     when every write succeeded.
//   profile_writer save <profile> <count>
//     saves the two settings sets of generation.h alternately, as the
//     settings program saves; exit code 0 when every save succeeded.
//   profile_writer read <profile> <result file>
//     loads the profile as the programs do and writes which settings set
//     of generation.h it holds ("0", "1"; "mixed" for neither).
//   profile_writer crash-in-place <profile> <generation> <pieces> <size>
//     writes a generation of `size` characters (the file must be one that
//     is written in place) and dies once `pieces` pieces are written (0:
//     when its recovery copy is made, before the first).
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "generation.h"
#include "platform/test_seams.h"
#include "profile/program_profile.h"

namespace {

[[noreturn]] void Die() {
#ifdef SIGKILL
  std::raise(SIGKILL);
#endif
  // Where there is no SIGKILL: ending the process from this thread stops
  // the writing thread wherever it is, which is what the tests need.
  std::_Exit(137);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qv;
  if (argc < 4 || argc > 6) return 2;
  const std::string mode = argv[1];
  if (mode == "read") {
    const int which = test::WhichSettingsSet(profile::LoadProfile(argv[2]).settings);
    std::ofstream(argv[3]) << (which < 0 ? "mixed" : std::to_string(which));
    return 0;
  }
  if (mode == "crash-in-place" && argc == 6) {
    const std::size_t pieces = std::strtoul(argv[4], nullptr, 10);
    platform::SetFileStepHookForTesting([pieces](platform::FileStep step, std::size_t bytes) {
      if ((step == platform::FileStep::kRecoveryCopied && pieces == 0) ||
          (step == platform::FileStep::kWrittenInPlace && bytes >= pieces * (std::size_t{64} << 10)))
        Die();
    });
    profile::ProfileFile file(argv[2]);
    test::WriteGeneration(file, std::atol(argv[3]), std::strtoul(argv[5], nullptr, 10));
    return 3;
  }
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
    Die();
  }).detach();
  while (test::WriteGeneration(file, ++generation)) {
  }
  return 3;
}
