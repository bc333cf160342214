// The engine against real peers on loopback (chronyd for SNTP, the built-in
// TIME and DAYTIME services of inetutils-inetd and xinetd), which ctest
// fixtures start (tests/engine/CMakeLists.txt). Peers that print times run
// with TZ=UTC. (qv-timeserver's TIME answers need no check of their own:
// the engine reads inetd's right here, and qv-timeserver's as literal dates
// in test_answers.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "engine/ntp.h"
#include "engine/operations.h"
#include "engine/time_text.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "support/fake_clock.h"
#include "support/loopback_query_test.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

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

using InteropTest = test::LoopbackQueryTest;

TEST_F(InteropTest, ChronydOffsetIsNearZero) {
  const std::string address = test::LoopbackAddress(QV_CHRONYD_OCTET);
  if (!Started("chronyd")) GTEST_SKIP() << kNotStarted;

  // Each through the full check: reference within 24 hours, round trip,
  // hold time, and a usable reply (server mode, synchronised, stratum 8).
  std::vector<std::int64_t> offsets;
  Result result;
  ASSERT_TRUE(Eventually([&] { return (result = Check(RequestFor(address, kSntp, 1))).ok(); }))
      << result.status << " " << result.detail;
  while (offsets.size() < 20) {
    const auto start = std::chrono::steady_clock::now();
    result = Check(RequestFor(address, kSntp, 2));
    const auto took = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(result.ok()) << result.status << " " << result.detail;
    offsets.push_back(*result.offset_ns);
    // One clock on both sides, so the true offset is 0: what is measured can
    // be off by at most half the round trip (which the whole check outlasts)
    // and the stamps' resolution, however loaded the machine is.
    EXPECT_LE(std::abs(offsets.back()), took.count() / 2 + 1000000) << FormatOffset(offsets.back());
  }
  std::sort(offsets.begin(), offsets.end());
  std::printf("chronyd on %s: offset min %s median %s max %s s\n", address.c_str(),
              FormatOffset(offsets.front()).c_str(), FormatOffset(offsets[offsets.size() / 2]).c_str(),
              FormatOffset(offsets.back()).c_str());
}

// inetd's DAYTIME line is the C library's, and adjusting sets that time;
// xinetd's has another shape ("06 DEC 2026 18:22:47 UTC"): it arrives as
// is, and adjusting refuses it without touching the clock.
TEST_F(InteropTest, InetdAndXinetdTimeAndDaytime) {
  const struct {
    const char* name;
    int octet;
    const char* daytime;  // the line's format
    bool upper, settable;
  } kPeers[] = {{"inetd", QV_INETD_OCTET, "%a %b %e %H:%M:%S %Y\r", false, true},
                {"xinetd", QV_XINETD_OCTET, "%d %b %Y %H:%M:%S UTC\r", true, false}};
  int tried = 0;
  for (const auto& peer : kPeers) {
    SCOPED_TRACE(peer.name);
    if (!Started(peer.name)) {
      std::printf("%s %s\n", peer.name, kNotStarted);
      continue;
    }
    ++tried;
    const std::string address = test::LoopbackAddress(peer.octet);
    // TIME is this machine's second; an 8-byte answer (inetd's 64-bit
    // count) must still read right from its first 4 bytes.
    MicroTime before{}, after{};
    Result result;
    ASSERT_TRUE(Eventually([&] {
      before = NowMicroTime();
      result = Check(RequestFor(address, kTime, 2));
      after = NowMicroTime();
      return result.ok();
    })) << result.status << " " << result.error_code;
    // Any second the exchange spanned, however long the machine kept it.
    bool within = false;
    for (std::uint32_t s = before.seconds; s <= after.seconds && !within; ++s)
      within = result.server_time == FormatServerTime({s, 0});
    EXPECT_TRUE(within) << result.server_time;

    test::FakeClock clock;
    clock.SetLocalReading(kFakeLocal);
    const std::int64_t first = UnixNow();
    result = Adjust(RequestFor(address, kDaytime, 2));
    EXPECT_EQ(result.status, peer.settable ? "OK" : "ERROR (localtime-set)");
    EXPECT_TRUE(IsUtcTimeSince(result.server_time, first, peer.daytime, peer.upper)) << result.server_time;
    EXPECT_EQ(result.pc_time, kFakeLocalText);
    const std::optional<platform::SystemTime> shown = ParseTimeText(result.server_time);
    EXPECT_EQ(shown.has_value(), peer.settable);
    EXPECT_EQ(clock.local_sets(), peer.settable ? std::vector{*shown} : std::vector<platform::SystemTime>{});
    EXPECT_EQ(clock.refused_calls(), 0);  // xinetd's shape is refused before the clock
    EXPECT_TRUE(clock.utc_sets().empty());
  }
  if (tried == 0) GTEST_SKIP() << kNotStarted;
}

}  // namespace
}  // namespace qv::engine
