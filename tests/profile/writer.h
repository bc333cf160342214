// Runs the writer helper (profile_writer.cpp) that lies beside the test
// executable, and the two ways the tests watch what it writes.
#pragma once

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "generation.h"
#include "platform/process.h"
#include "profile/program_profile.h"

namespace qv::test {

// "exec" where a POSIX shell runs it, so the shell does not report a kill;
// `prefix` runs it through another program (setpriv).
inline int RunWriter(const std::string& arguments, const std::string& prefix = "") {
  const std::string self = platform::ExecutablePath();
  const bool exe = self.ends_with(".exe");
  const std::string folder = self.substr(0, self.find_last_of("\\/") + 1);
  return std::system(
      ((exe ? "" : "exec ") + prefix + folder + "profile_writer" + (exe ? ".exe " : " ") + arguments).c_str());
}

// Which settings set of generation.h a load in another process sees now:
// "0", "1" or "mixed".
inline std::string SetSeenByAnotherProcess(const std::string& path, const std::string& result_file) {
  std::remove(result_file.c_str());
  if (RunWriter("read " + path + " " + result_file) != 0) return "(reader failed)";
  std::ifstream in(result_file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Two writer processes at once, `count` keys each, one naming the profile
// `a` and the other `b` (the same file, or a link to it): the keys missing
// afterwards, or -1 when a writer failed.
inline int KeysLostByTwoWriters(const std::string& a, const std::string& b, int count) {
  int results[2] = {-1, -1};
  std::thread first([&] { results[0] = RunWriter("keys " + a + " a " + std::to_string(count)); });
  std::thread second([&] { results[1] = RunWriter("keys " + b + " b " + std::to_string(count)); });
  first.join();
  second.join();
  if (results[0] != 0 || results[1] != 0) return -1;
  const profile::IniDocument doc = profile::ProfileFile(b).Load();
  int missing = 0;
  for (int i = 0; i < count; ++i) {
    for (const char* prefix : {"a", "b"}) missing += doc.ReadInt("Race", prefix + std::to_string(i), -1) != i;
  }
  return missing;
}

// What loads saw while a writer process (behind `prefix`) saved the two
// settings sets of generation.h alternately, `saves` times.
struct LoadsDuringSaves {
  int writer_exit = -1;
  int seen[2] = {0, 0};
  int mixed = 0;  // some keys of one set, some of the other
};
inline LoadsDuringSaves LoadWhileSaving(const std::string& path, int saves, const std::string& prefix = "") {
  LoadsDuringSaves loads;
  std::atomic<bool> ended{false};
  std::thread writer([&] {
    loads.writer_exit = RunWriter("save " + path + " " + std::to_string(saves), prefix);
    ended = true;
  });
  while (!ended) {
    const int which = WhichSettingsSet(profile::LoadProfile(path).settings);
    which < 0 ? ++loads.mixed : ++loads.seen[which];
  }
  writer.join();
  return loads;
}

}  // namespace qv::test
