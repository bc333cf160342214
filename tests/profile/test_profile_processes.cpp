// Profile writes from other processes: killed mid-write, and racing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "generation.h"
#include "platform/file.h"
#include "platform/process.h"
#include "profile/profile.h"
#include "temp_dir.h"

namespace qv::profile {
namespace {

// The writer helper lies beside this test executable.
std::string WriterCommand(const std::string& arguments) {
  std::string self = platform::ExecutablePath();
  std::size_t slash = self.find_last_of("\\/");
  bool exe = self.size() > 4 && self.compare(self.size() - 4, 4, ".exe") == 0;
  // "exec" where a POSIX shell runs it, so the shell does not report the kill.
  std::string command = exe ? "" : "exec ";
  command.append(self, 0, slash + 1).append(exe ? "profile_writer.exe " : "profile_writer ").append(arguments);
  return command;
}

IniDocument LoadFile(const std::string& path) {
  platform::FileContents file = platform::ReadWholeFile(path);
  EXPECT_EQ(file.status, platform::FileContents::Status::kOk);
  return IniDocument::Parse(file.bytes);
}

TEST(ProfileProcesses, AKilledWriterLeavesTheOldOrTheNewProfile) {
  test::TempDir dir(test::TempDir::FastBase());
  const std::string path = dir.File("crash.ini");
  ProfileFile file(path);
  ASSERT_TRUE(test::WriteGeneration(file, 0));

  std::random_device seed_source;
  const unsigned seed = seed_source();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delay_us(0, 4000);
  SCOPED_TRACE("seed " + std::to_string(seed));

  long last = 0;
  int runs = 0;
  std::string failure;
  // Checks what a reader sees now: a whole generation, never an older one.
  auto check = [&] {
    std::optional<long> generation = test::ReadGeneration(LoadFile(path));
    if (!generation) {
      failure = "torn profile in run " + std::to_string(runs);
    } else if (*generation < last) {
      failure = "the profile went back in time in run " + std::to_string(runs);
    } else {
      last = *generation;
    }
  };
  const auto stop = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  while (failure.empty() && runs < 150 && (runs < 15 || std::chrono::steady_clock::now() < stop)) {
    std::string args = "crash " + path + " " + std::to_string(last + 1) + " " + std::to_string(delay_us(random));
    std::atomic<bool> ended{false};
    std::thread writer([&] {
      std::system(WriterCommand(args).c_str());
      ended = true;
    });
    ++runs;
    // Readers during the writes, then the state the kill left behind.
    while (!ended && failure.empty()) check();
    writer.join();
    if (failure.empty()) check();
  }
  ASSERT_EQ(failure, "");
  EXPECT_GE(last, runs) << "every run writes at least once before it dies";
  // The next writer is not hindered by what a killed one left behind.
  EXPECT_TRUE(test::WriteGeneration(file, last + 1));
  EXPECT_EQ(test::ReadGeneration(LoadFile(path)), last + 1);
}

TEST(ProfileProcesses, TwoWritersLoseNoKey) {
  test::TempDir dir(test::TempDir::FastBase());
  const std::string path = dir.File("race.ini");
  constexpr int kCount = 1000;
  const std::string count = std::string(" ").append(std::to_string(kCount));
  int results[2] = {-1, -1};
  std::thread a([&] { results[0] = std::system(WriterCommand("keys " + path + " a" + count).c_str()); });
  std::thread b([&] { results[1] = std::system(WriterCommand("keys " + path + " b" + count).c_str()); });
  a.join();
  b.join();
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(results[1], 0);

  IniDocument doc = LoadFile(path);
  int missing = 0;
  for (int i = 0; i < kCount; ++i) {
    const std::string number = std::to_string(i);
    if (doc.ReadInt("Race", std::string("a").append(number), -1) != i) ++missing;
    if (doc.ReadInt("Race", std::string("b").append(number), -1) != i) ++missing;
  }
  EXPECT_EQ(missing, 0);
}

}  // namespace
}  // namespace qv::profile
