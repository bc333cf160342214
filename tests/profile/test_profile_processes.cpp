// Profile writes from other processes: killed mid-write, racing, and read
// while they save.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "platform/file.h"
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
  EXPECT_EQ(test::KeysLostByTwoWriters(dir.File("race.ini"), dir.File("race.ini"), 1000), 0);
}

// While another process saves the settings program's settings again and
// again, every load sees one whole save: never some keys old and some new.
TEST(ProfileProcesses, AReaderNeverSeesHalfASave) {
  test::TempDir dir(/*fast=*/true);
  const std::string path = dir.File("Quorvel.INI");
  ASSERT_TRUE(SaveSettings(path, test::SettingsSet(1)).ok);
  const test::LoadsDuringSaves loads = test::LoadWhileSaving(path, 100);
  EXPECT_EQ(loads.writer_exit, 0);
  EXPECT_EQ(loads.mixed, 0);
  EXPECT_GT(loads.seen[0], 0);
  EXPECT_GT(loads.seen[1], 0);
}

}  // namespace
}  // namespace qv::profile
