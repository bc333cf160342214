// The engine against real peers on loopback (chronyd for SNTP, the built-in
// TIME and DAYTIME services of inetutils-inetd and xinetd), which ctest
// fixtures start (tests/engine/CMakeLists.txt), and our qv-timeserver
// against rdate. Peers that print times run with TZ=UTC.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "engine/adjust.h"
#include "engine/query_job.h"
#include "engine/query_server_time.h"
#include "engine/run_query.h"
#include "engine/sntp.h"
#include "engine/time_text.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "support/fake_clock.h"
#include "support/loopback_query_test.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

enum Slot { kChronySlot = 25, kInetdSlot, kXinetdSlot, kRdateSlot };

std::int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Whether `text` is `format` (in UTC; "%e" done here, the Windows C runtime
// lacks it) of a second from `first` to now.
bool IsUtcTimeSince(const std::string& text, std::int64_t first, const char* format, bool upper = false) {
  for (std::int64_t s = first, last = UnixNow(); s <= last; ++s) {
    const std::time_t t = static_cast<std::time_t>(s);
    const std::tm* broken = std::gmtime(&t);
    std::string pattern = format;
    char expected[128] = {};
    if (const std::size_t at = pattern.find("%e"); at != std::string::npos) {
      std::snprintf(expected, sizeof expected, "%2d", broken->tm_mday);
      pattern.replace(at, 2, expected);
    }
    std::strftime(expected, sizeof expected, pattern.c_str(), broken);
    for (char& c : expected) c = upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    if (text == expected) return true;
  }
  return false;
}

// Whether a ctest fixture started the peer (tests/engine/CMakeLists.txt).
bool Started(const char* name) { return !test::ReadPidfile(test::PidfilePath(name)).empty(); }
constexpr const char* kNotStarted = "not started by a ctest fixture (not installed here, or not run through ctest)";

// Retries until the daemon answers: it binds a moment after it detaches.
template <typename Query>
bool Eventually(Query query) {
  for (int i = 0; i < 50; ++i) {
    if (query()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// The PC time the adjustments report.
constexpr platform::SystemTime kFakeLocal{2026, 12, 0, 6, 20, 36, 6, 0};
constexpr const char* kFakeLocalText = "Sun Dec 06 20:36:06 2026";

class InteropTest : public test::LoopbackQueryTest {
 protected:
  std::string server_time_, pc_time_, status_;
  int error_ = 0;
};

TEST_F(InteropTest, ChronydOffsetIsNearZero) {
  const std::string address = test::LoopbackAddress(kChronySlot);
  if (!Started("chronyd")) GTEST_SKIP() << kNotStarted;
  std::string detail;

  // Each through the full check: reference within 24 hours, round trip, hold time.
  std::vector<double> offsets(20);
  ASSERT_TRUE(Eventually([&] {
    return QuerySntpOffset(address, 1, 0, 1, 24, nullptr, nullptr, &offsets[0], status_, detail) == 1;
  })) << status_ << " " << detail;
  for (double& offset : offsets)
    ASSERT_EQ(QuerySntpOffset(address, 2, 0, 1, 24, nullptr, nullptr, &offset, status_, detail), 1) << status_;
  std::sort(offsets.begin(), offsets.end());
  std::printf("chronyd on %s: offset min %+.6f median %+.6f max %+.6f s\n", address.c_str(), offsets.front(),
              offsets[offsets.size() / 2], offsets.back());
  // One clock on both sides: what is left is stamping time and resolution.
  EXPECT_LT(std::fabs(offsets[offsets.size() / 2]), 0.002);
}

// inetd's DAYTIME line is the C library's, and adjusting sets that time;
// xinetd's has another shape ("06 DEC 2026 18:22:47 UTC"): it arrives as
// is, and adjusting refuses it without touching the clock.
TEST_F(InteropTest, InetdAndXinetdTimeAndDaytime) {
  const struct {
    const char* name;
    int slot;
    const char* daytime;  // the line's format
    bool upper, settable;
  } kPeers[] = {{"inetd", kInetdSlot, "%a %b %e %H:%M:%S %Y\r", false, true},
                {"xinetd", kXinetdSlot, "%d %b %Y %H:%M:%S UTC\r", true, false}};
  int tried = 0;
  for (const auto& peer : kPeers) {
    SCOPED_TRACE(peer.name);
    if (!Started(peer.name)) {
      std::printf("%s %s\n", peer.name, kNotStarted);
      continue;
    }
    ++tried;
    const std::string address = test::LoopbackAddress(peer.slot);
    // TIME is this machine's second; an 8-byte answer (inetd's 64-bit
    // count) must still read right from its first 4 bytes.
    MicroTime before{}, after{};
    ASSERT_TRUE(Eventually([&] {
      before = NowMicroTime();
      const bool ok = QueryServerTime(kTime, address, 2, 0, server_time_, status_, error_) == 1;
      after = NowMicroTime();
      return ok;
    })) << status_ << " " << error_;
    EXPECT_TRUE(server_time_ == FormatServerTime({before.seconds, 0}) ||
                server_time_ == FormatServerTime({after.seconds, 0}))
        << server_time_;

    test::FakeClock clock;
    clock.SetLocalReading(kFakeLocal);
    const std::int64_t first = UnixNow();
    EXPECT_EQ(AdjustLocalClock(kDaytime, address, 2, 0, server_time_, pc_time_, status_, error_), peer.settable);
    EXPECT_EQ(status_, peer.settable ? "OK" : "ERROR (localtime-set)");
    EXPECT_TRUE(IsUtcTimeSince(server_time_, first, peer.daytime, peer.upper)) << server_time_;
    EXPECT_EQ(pc_time_, kFakeLocalText);
    EXPECT_EQ(clock.local_sets(), peer.settable ? std::vector{ParseTimeText(server_time_)}
                                                : std::vector<platform::SystemTime>{});
    EXPECT_EQ(clock.refused_calls(), peer.settable ? 0 : 1);
    EXPECT_TRUE(clock.utc_sets().empty());
  }
  if (tried == 0) GTEST_SKIP() << kNotStarted;
}

// rdate, print only and as nobody (so it could not set the clock), reads
// what our TIME server sends.
TEST_F(InteropTest, RdatePrintsWhatTimeserverSends) {
#ifdef QV_TIMESERVER_EXTERNAL
  GTEST_SKIP() << "native build only";
#else
  for (const char* program : {"/usr/sbin/rdate", "/usr/bin/setpriv"}) {
    if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " is not installed";
  }
  const struct {
    const char *value, *shown;
  } kTimes[] = {{"3000000000", "Wed Jan 25 05:20:00 UTC 1995\n"},
                {"3999999999", "Sat Oct  3 07:06:39 UTC 2026\n"},
                {"4294967295", "Thu Feb  7 06:28:15 UTC 2036\n"}};  // the NTP era's last second
  for (const auto& t : kTimes) {
    test::TimeServer server(kRdateSlot, {"--time-value", t.value});
    ASSERT_TRUE(server.Ready()) << server.Problem();
    const test::CommandResult run = test::RunCapture(
        {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/usr/sbin/rdate", "-p",
         server.Address()},
        std::string(QV_TIMESERVER_STATE_DIR) + "/rdate", {"TZ=UTC"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, t.shown) << t.value;
  }
#endif
}

}  // namespace
}  // namespace qv::engine
