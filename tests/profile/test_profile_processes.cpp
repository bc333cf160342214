// Profile writes from other processes: killed mid-write, racing, and read
// while they save.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "generation.h"
#include "platform/file.h"
#include "profile/program_profile.h"
#include "temp_dir.h"
#include "writer.h"

namespace qv::profile {
namespace {

IniDocument LoadFile(const std::string& path) { return IniDocument::Parse(platform::ReadWholeFile(path).bytes); }

TEST(ProfileProcesses, AKilledWriterLeavesTheOldOrTheNewProfile) {
  test::TempDir dir(/*fast=*/true);
  const std::string path = dir.File("crash.ini");
  ProfileFile file(path);
  ASSERT_TRUE(test::WriteGeneration(file, 0));

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delay_us(0, 4000);
  SCOPED_TRACE("seed " + std::to_string(seed));

  long last = 0;
  int runs = 0;
  std::string failure;
  // Checks what a reader sees now: a whole generation, never an older one.
  auto check = [&] {
    const std::optional<long> generation = test::ReadGeneration(LoadFile(path));
    if (generation && *generation >= last) {
      last = *generation;
    } else {
      failure = std::string(generation ? "went back in time" : "torn") + " in run " + std::to_string(runs);
    }
  };
  const auto stop = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  while (failure.empty() && runs < 150 && (runs < 15 || std::chrono::steady_clock::now() < stop)) {
    const std::string args = "crash " + path + " " + std::to_string(last + 1) + " " + std::to_string(delay_us(random));
    std::atomic<bool> ended{false};
    std::thread writer([&] {
      test::RunWriter(args);
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
  test::TempDir dir(/*fast=*/true);
  const std::string path = dir.File("race.ini");
  constexpr int kCount = 1000;
  int results[2] = {-1, -1};
  std::thread a([&] { results[0] = test::RunWriter("keys " + path + " a " + std::to_string(kCount)); });
  std::thread b([&] { results[1] = test::RunWriter("keys " + path + " b " + std::to_string(kCount)); });
  a.join();
  b.join();
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(results[1], 0);

  IniDocument doc = LoadFile(path);
  int missing = 0;
  for (int i = 0; i < kCount; ++i) {
    for (const char* prefix : {"a", "b"}) missing += doc.ReadInt("Race", prefix + std::to_string(i), -1) != i;
  }
  EXPECT_EQ(missing, 0);
}

// While another process saves the settings program's settings again and
// again, every load sees one whole save: never some keys old and some new.
TEST(ProfileProcesses, AReaderNeverSeesHalfASave) {
  test::TempDir dir(/*fast=*/true);
  const std::string path = dir.File("Quorvel.INI");
  ASSERT_TRUE(SaveSettings(path, test::SettingsSet(1)).ok);
  std::atomic<bool> ended{false};
  int result = -1;
  std::thread writer([&] {
    result = test::RunWriter("save " + path + " 100");
    ended = true;
  });
  int seen[2] = {0, 0}, mixed = 0;
  while (!ended) {
    const int which = test::WhichSettingsSet(LoadProfile(path).settings);
    which < 0 ? ++mixed : ++seen[which];
  }
  writer.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(mixed, 0);
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[1], 0);
}

}  // namespace
}  // namespace qv::profile
