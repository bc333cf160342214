// Profile writes from other processes: killed mid-write, racing, and read
// while they save.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/test_seams.h"
#include "temp_dir.h"
#include "writer.h"

namespace qv::profile {
namespace {

namespace fs = std::filesystem;

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

// At each step of a save, a load in another process sees one whole settings
// set: the old one until the new file replaces it, then the new one.
TEST(ProfileProcesses, AReaderNeverSeesHalfASave) {
  test::TempDir dir(/*fast=*/true);
  const std::string path = dir.File("Quorvel.INI");
  ASSERT_TRUE(SaveSettings(path, test::SettingsSet(1)).ok);
  std::string seen;
  platform::SetFileStepHookForTesting([&](platform::FileStep step, std::size_t) {
    if (step == platform::FileStep::kLocked || step == platform::FileStep::kStaged ||
        step == platform::FileStep::kReplaced)
      seen += test::SetSeenByAnotherProcess(path, dir.File("seen")) + " ";
  });
  const bool saved = SaveSettings(path, test::SettingsSet(0)).ok && SaveSettings(path, test::SettingsSet(1)).ok;
  platform::SetFileStepHookForTesting(nullptr);
  EXPECT_TRUE(saved);
  EXPECT_EQ(seen, "1 1 0 0 0 1 ");
}

// A writer killed while it writes a large profile in place (the file has a
// second name, and another program holds it open without letting it be
// replaced): what it leaves on disk may be torn, but every reading sees the
// old profile or the new one, and the first reading mends the file.
TEST(ProfileProcesses, AWriterKilledWritingInPlaceLeavesTheOldOrTheNewProfile) {
  test::TempDir dir;
  const std::string path = dir.File("big.ini");
  const std::size_t size = std::size_t{1} << 20, pieces = size >> 16;  // in 64 KiB pieces
  ProfileFile file(path);
  ASSERT_TRUE(test::WriteGeneration(file, 1, size));
  std::error_code no_links_here;
  fs::create_hard_link(test::FsPath(path), dir.path() / "second name.ini", no_links_here);
  std::ifstream held(test::FsPath(path), std::ios::binary);
  const auto on_disk = [&] {
    std::ifstream in(test::FsPath(path), std::ios::binary);
    return test::ReadGeneration(IniDocument::Parse(std::string(std::istreambuf_iterator<char>(in), {})));
  };
  long generation = 1;
  for (std::size_t written : {std::size_t{0}, std::size_t{1}, pieces / 2, pieces - 1}) {
    SCOPED_TRACE("killed after " + std::to_string(written) + " pieces");
    EXPECT_NE(test::RunWriter("crash-in-place " + path + " " + std::to_string(generation + 1) + " " +
                              std::to_string(written) + " " + std::to_string(size)),
              0);
    EXPECT_EQ(on_disk(), written == 0 ? std::optional<long>(generation) : std::nullopt) << "torn on disk";
    const std::optional<long> read = test::ReadGeneration(LoadFile(path));
    EXPECT_EQ(read, written == 0 ? generation : generation + 1);
    EXPECT_EQ(on_disk(), read) << "mended by the reading";
    generation = read.value_or(generation);
  }
  EXPECT_TRUE(test::WriteGeneration(file, generation + 1, size));
  EXPECT_EQ(test::ReadGeneration(LoadFile(path)), generation + 1);
}

}  // namespace
}  // namespace qv::profile
