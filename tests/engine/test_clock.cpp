#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ctime.h"
#include "platform/process.h"
#include "platform/test_seams.h"
#include "profile/temp_dir.h"
#include "support/run_command.h"
#ifndef _WIN32
#include "support/scoped_env.h"
#endif

namespace qv::platform {
namespace {

std::int64_t FileTimeOf(std::int64_t unix_seconds) { return kFileTimeUnixEpoch + unix_seconds * kFileTicksPerSecond; }
constexpr std::int64_t kWinter = 1768478400;  // 2026-01-15 12:00 UTC

// This test binary again behind a shell command prefix, running `filter`;
// its output, or "" when nothing ran (no such shell or tool here).
std::string RunSelf(const std::string& prefix, const std::string& filter) {
  const test::TempDir dir;
  const std::string out = dir.File("out");
  [[maybe_unused]] int rc =
      std::system((prefix + "'" + ExecutablePath() + "' --gtest_filter=" + filter + " > '" + out + "' 2>&1").c_str());
  const std::string text = test::ReadWholeFile(out);
  return text.find("[==========]") == std::string::npos ? std::string() : text;
}

// Impossible days and hours are refused throughout the adjustment tests;
// here the year range the OS covers and the leap-year rule.
TEST(Clock, ValidationAndBreakDown) {
  for (const auto& [t, valid] : {std::pair{SystemTime{2024, 2, 0, 29, 23, 59, 59, 999}, true},
                                 {SystemTime{1601, 1, 0, 1}, true}, {SystemTime{30827, 12, 0, 31}, true},
                                 {SystemTime{1600, 12, 0, 31}, false}, {SystemTime{30828, 1, 0, 1}, false},
                                 {SystemTime{2025, 2, 0, 29}, false}, {SystemTime{1900, 2, 0, 29}, false},
                                 {SystemTime{2026, 1, 0, 1, 0, 0, 0, 1000}, false}})
    EXPECT_EQ(IsValidSystemTime(t), valid) << t.year << "-" << t.month << "-" << t.day;
  SystemTime t;
  ASSERT_TRUE(BreakDownUtc(0xFFFFFFFFLL, t));  // the C runtime's zone plays no part
  EXPECT_EQ((SystemTime{2106, 2, 0, 7, 6, 28, 15, 0}), t);
  EXPECT_FALSE(BreakDownUtc(1000000000000000LL, t));
}

// That it reads the right time shows against chronyd (test_interop.cpp).
TEST(Clock, RealClockReadsFinely) {
  std::int64_t smallest = INT64_MAX, last = RealClock().UtcFileTime();
  for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
       std::chrono::steady_clock::now() < end && smallest > 1000;) {
    const std::int64_t now = RealClock().UtcFileTime();
    if (now > last && now - last < smallest) smallest = now - last;
    last = now;
  }
  EXPECT_LT(smallest, 10000) << "steps of a millisecond or more";
}

TEST(Clock, OsZoneIsNotTheCRuntimeZone) {
  struct Restore {
    ~Restore() { SetOsZoneForTesting(nullptr); }
  } restore;
  SystemTime a, b;
  std::int64_t back = 0;
  ASSERT_TRUE(SetCRuntimeZone("EST5"));
  ASSERT_TRUE(UtcToOsLocal(FileTimeOf(kWinter), a));
  ASSERT_TRUE(SetCRuntimeZone("JST-9"));
  ASSERT_TRUE(UtcToOsLocal(FileTimeOf(kWinter), b));
  EXPECT_EQ(a, b);
  ASSERT_TRUE(OsLocalToUtc(b, back));
  EXPECT_EQ(FileTimeOf(kWinter), back);

  if (!SetOsZoneForTesting("America/New_York")) GTEST_SKIP() << "the OS zone is the system's own setting here";
  ASSERT_TRUE(UtcToOsLocal(FileTimeOf(kWinter), a));
  EXPECT_EQ((SystemTime{2026, 1, 4, 15, 7, 0, 0, 0}), a);
  ASSERT_TRUE(OsLocalToUtc({2026, 3, 0, 8, 2, 30, 0, 0}, back));  // skipped hour: the change itself
  EXPECT_EQ(FileTimeOf(1772953200), back);
  ASSERT_TRUE(OsLocalToUtc({2026, 11, 0, 1, 1, 30, 0, 0}, back));  // repeated hour: the first
  EXPECT_EQ(FileTimeOf(1793511000), back);
}

// Run as children by Clock.OsZoneHandedToChildProcesses and
// Clock.ZoneFileIsReadOnlyWhenItIsOne, in the environment they give.
TEST(OsZoneChild, StartZoneSurvivesTheCRuntimeZone) {
  const char* expected = std::getenv("QV_EXPECT_OFFSET");
  if (!expected) GTEST_SKIP() << "run by Clock.OsZoneHandedToChildProcesses";
  ASSERT_TRUE(SetCRuntimeZone("JST-9"));
  SystemTime t;
  ASSERT_TRUE(UtcToOsLocal(FileTimeOf(kWinter), t));
  EXPECT_EQ(std::atoi(expected), (t.day - 15) * 1440 + (t.hour - 12) * 60 + t.minute);
  EXPECT_STREQ(std::getenv("QV_EXPECT_PUBLISHED"), std::getenv("QUORVEL_OS_TZ"));  // handed on in turn
}

TEST(OsZoneChild, ZoneFileThatIsNoneIsRefused) {
  const char* expected = std::getenv("QV_EXPECT_ZONE_PROBLEM");
  if (!expected) GTEST_SKIP() << "run by Clock.ZoneFileIsReadOnlyWhenItIsOne";
  EXPECT_NE(OsZoneProblem().find(expected), std::string::npos) << OsZoneProblem();
  SystemTime t;
  ASSERT_TRUE(UtcToOsLocal(FileTimeOf(kWinter), t));
  EXPECT_EQ(t.hour, 12);  // UTC
}

TEST(Clock, OsZoneHandedToChildProcesses) {
  for (const char* run : {"env -u QUORVEL_OS_TZ TZ=EST5 QV_EXPECT_OFFSET=-300 QV_EXPECT_PUBLISHED=TZ=EST5 ",
                          // Started by a program that set TZ=JST-9: its parent's OS zone, not JST.
                          "env TZ=JST-9 QUORVEL_OS_TZ=TZ=Asia/Kolkata QV_EXPECT_OFFSET=330 "
                          "QV_EXPECT_PUBLISHED=TZ=Asia/Kolkata "}) {
    const std::string out = RunSelf(run, "OsZoneChild.StartZoneSurvivesTheCRuntimeZone");
    if (out.empty()) GTEST_SKIP() << "no POSIX shell to start a child with another environment";
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << run << "\n" << out;
  }
}

// /dev/zero never ends and a FIFO never answers: neither is read. A file
// that holds no rule is no zone either.
TEST(Clock, ZoneFileIsReadOnlyWhenItIsOne) {
  const test::TempDir dir;
  const std::string fifo = dir.File("fifo"), junk = dir.File("junk");
  std::ofstream(junk) << "TZif2 but nothing after";
  if (!test::RunCommand({"mkfifo", fifo})) GTEST_SKIP() << "no FIFO here";
  EXPECT_EQ(OsZoneProblem(), "");
  for (const auto& [tz, problem] : {std::pair{std::string("/dev/zero"), "is not a regular file"},
                                    std::pair{fifo, "is not a regular file"}, std::pair{junk, "states no rule"}}) {
    const std::string out =
        RunSelf("env -u QUORVEL_OS_TZ TZ=" + tz + " QV_EXPECT_ZONE_PROBLEM='" + problem + "' timeout 20 ",
                "OsZoneChild.ZoneFileThatIsNoneIsRefused");
    if (out.empty()) GTEST_SKIP() << "no POSIX shell to start a child with another environment";
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << tz << "\n" << out;
  }
}

TEST(Clock, ClockRightProvenOnlyByAFullStatus) {
  const std::string uid = "Uid:\t65534\t65534\t65534\t65534\n";
  const std::string prm = "CapPrm:\t0000000000000000\n", eff = "CapEff:\t0000000000000000\n";
  EXPECT_TRUE(StatusProvesNoClockRight("Name:\tx\n" + uid + "Gid:\t0\t0\t0\t0\n" + prm + eff));
  EXPECT_TRUE(StatusProvesNoClockRight(uid + "CapPrm:\t0000000001ffffff\nCapEff:\tfffffffffdffffff\n"));
  for (const std::string& text : {
           std::string(), uid + prm, uid + eff, prm + eff,
           "Uid:\t65534\t0\t65534\t65534\n" + prm + eff,  // saved root could come back
           "Uid:\t65534\t65534\t65534\n" + prm + eff,      // a field short
           uid + "CapPrm:\t0000000002000000\n" + eff,        // CAP_SYS_TIME permitted
           uid + prm + "CapEff:\t000001ffffffffff\n",        // everything effective
           uid + prm + "CapEff:\t00000000000000zz\n", uid + prm + "CapEff:\n",
           uid + "Uid:\t0\t0\t0\t0\n" + prm + eff, uid + prm + eff + eff}) {  // repeated lines
    EXPECT_FALSE(StatusProvesNoClockRight(text)) << text;
  }
}

// The real setters run only where the system is sure to refuse them: in a
// child dropped to an unprivileged user (next test), and for the Windows
// build under Wine run as such a user (wine-unprivileged beside this file).
TEST(RealClockRefusal, RefusedWithoutPrivilege) {
  if (!ProvenUnableToSetClock()) GTEST_SKIP() << "this process might be able to set the clock";
#ifdef _WIN32
  constexpr ClockRefusal kExpected = ClockRefusal::kNoRight;
  const std::uint32_t expected_error = NoClockRightError();
#else
  // Refused here, a set asks systemd-timedated on the system bus: the test
  // names a bus that cannot exist, so the real one is never reached.
  const test::TempDir dir;
  test::ScopedEnv keep({"DBUS_SYSTEM_BUS_ADDRESS"});
  ASSERT_EQ(setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1), 0);
  constexpr ClockRefusal kExpected = ClockRefusal::kHelperMissing;
  const std::uint32_t expected_error = ENOENT;
#endif
  // An hour off: Wine lets through (as a no-op) anything within half a second.
  constexpr std::int64_t kHour = 3600 * kFileTicksPerSecond;
  const auto started = std::chrono::steady_clock::now();
  const std::int64_t before = RealClock().UtcFileTime();
  SystemTime utc, local;
  ASSERT_TRUE(BreakDownUtc((before + kHour - kFileTimeUnixEpoch) / kFileTicksPerSecond, utc));
  ASSERT_TRUE(UtcToOsLocal(before + kHour, local));
  for (const ClockSet& set : {RealClock().SetUtc(utc), RealClock().SetLocal(local)}) {
    EXPECT_EQ(set.refusal, kExpected) << ClockRefusalText(set.refusal);
    EXPECT_EQ(set.os_error, expected_error);
  }
  // No such day: the OS is not asked.
  const ClockSet impossible = RealClock().SetLocal({2026, 2, 0, 31, 11, 36, 6, 0});
  EXPECT_EQ(impossible.refusal, ClockRefusal::kImpossibleTime);
  EXPECT_NE(impossible.os_error, 0u);
  const std::int64_t moved = RealClock().UtcFileTime() - before;
  const std::int64_t elapsed =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count() * 10;
  EXPECT_LT(std::llabs(moved - elapsed), kFileTicksPerSecond) << "the clock jumped by " << moved - elapsed;
}

TEST(RealClockRefusal, UnprivilegedChildIsRefused) {
  if (ProvenUnableToSetClock()) GTEST_SKIP() << "unprivileged already: the test above runs here";
  const std::string out =
      RunSelf("setpriv --reuid=65534 --regid=65534 --clear-groups ", "RealClockRefusal.RefusedWithoutPrivilege");
  if (out.empty()) GTEST_SKIP() << "no way to start an unprivileged child here";
  EXPECT_NE(std::string::npos, out.find("[       OK ] RealClockRefusal.RefusedWithoutPrivilege")) << out;
  EXPECT_EQ(std::string::npos, out.find("SKIPPED")) << out;
}

}  // namespace
}  // namespace qv::platform
