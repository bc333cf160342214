// Clock adjustment over the fake clock: the SNTP route sets UTC from a fresh
// reading plus the offset, the TIME/DAYTIME route sets the server's text as
// local time, and every refusal leaves the clock alone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/adjust.h"
#include "engine/run_query.h"
#include "engine/sntp.h"
#include "platform/ctime.h"
#include "platform/headless/headless_host.h"
#include "support/fake_clock.h"

namespace qv::engine {
namespace {

using platform::SystemTime;

constexpr std::uint32_t kNtpUnixDelta = 2208988800u;
constexpr std::int64_t kS = 1796556966;  // 2026-12-06 11:36:06 UTC

void PutBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// An SNTP reply as QueryServer leaves it: timestamps converted in place.
void PutTimestamp(std::uint8_t* reply, int offset, std::int64_t unix_seconds, std::uint32_t fraction) {
  PutBe32(reply + offset, static_cast<std::uint32_t>(unix_seconds + kNtpUnixDelta));
  PutBe32(reply + offset + 4, fraction);
  NtpToMicroTime(reply + offset);
}

class AdjustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetHost(&host_);
    platform::CaptureOsZone();
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    clock_.SetUnixTime(kS, 0);
    clock_.SetLocalTime({2026, 12, 0, 6, 20, 36, 6, 0});
  }
  void TearDown() override {
    SetQueryRunner(nullptr);
    ui::SetHost(nullptr);
  }

  // Answers every SNTP query with T1 = T4 = now and T2 = T3 = now + offset.
  void ServeSntpOffset(std::int64_t server_seconds, std::uint32_t server_fraction) {
    SetQueryRunner([=](QueryJob& job) {
      std::memset(job.reply, 0, 48);
      PutTimestamp(job.reply, 16, server_seconds - 60, 0);  // reference
      PutTimestamp(job.reply, 24, kS, 0);                    // originate
      PutTimestamp(job.reply, 32, server_seconds, server_fraction);
      PutTimestamp(job.reply, 40, server_seconds, server_fraction);
      *job.receive_time = {static_cast<std::uint32_t>(kS), 0};
      *job.status = "OK";
      job.result = 1;
    });
  }

  void ServeBytes(std::string bytes) {
    SetQueryRunner([bytes](QueryJob& job) {
      std::memcpy(job.reply, bytes.data(), std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(job.reply_size)));
      *job.status = "OK";
      job.result = 1;
    });
  }

  ui::HeadlessHost host_;
  test::FakeClock clock_;
  std::string new_time_ = "before", pc_time_, status_, detail_;
};

TEST_F(AdjustTest, SntpOffsetMinusHalfSecondSetsPreviousSecondAndHalf) {
  ServeSntpOffset(kS - 1, 0x80000000u);  // the server is 0.5 s behind
  ASSERT_EQ(AdjustSystemClock("127.0.0.9", 3, 0, 1, 24, new_time_, pc_time_, status_, detail_), 1);
  EXPECT_EQ(status_, "OK");
  ASSERT_EQ(clock_.utc_sets().size(), 1u);
  EXPECT_EQ(clock_.utc_sets()[0], (SystemTime{2026, 12, 0, 6, 11, 36, 5, 500}));
  EXPECT_EQ(new_time_, "Sun Dec 06 20:36:05 2026");  // the new time, in the C-runtime zone
  EXPECT_EQ(pc_time_, "Sun Dec 06 20:36:06 2026");
}

TEST_F(AdjustTest, SntpOffsetAppliesToAFreshReadingInUtcWhateverTheZones) {
  ServeSntpOffset(kS + 2, 0);
  // The reading taken after the runner closed is what the offset applies to.
  clock_.SetUnixTime(kS, 250000);
  ASSERT_EQ(AdjustSystemClock("127.0.0.9", 3, 0, 0, 24, new_time_, pc_time_, status_, detail_), 1);
  ASSERT_EQ(clock_.utc_sets().size(), 1u);
  EXPECT_EQ(clock_.utc_sets()[0], (SystemTime{2026, 12, 0, 6, 11, 36, 8, 250}));
}

TEST_F(AdjustTest, RefusedOrFailedSntpAdjustmentLeavesTheClock) {
  ServeSntpOffset(kS + 2, 0);
  clock_.SetRefuse(true);
  EXPECT_EQ(AdjustSystemClock("127.0.0.9", 3, 0, 0, 24, new_time_, pc_time_, status_, detail_), 0);
  EXPECT_EQ(status_, "ERROR (localtime-set)");
  EXPECT_EQ(new_time_, "before");
  EXPECT_EQ(pc_time_, "Sun Dec 06 20:36:06 2026");  // still returned
  clock_.SetRefuse(false);

  // A query failure never reaches the clock.
  SetQueryRunner([](QueryJob& job) { *job.status = "TimeOut"; });
  EXPECT_EQ(AdjustSystemClock("127.0.0.9", 3, 0, 0, 24, new_time_, pc_time_, status_, detail_), 0);
  EXPECT_EQ(status_, "ERROR (TimeOut)");
  EXPECT_TRUE(clock_.utc_sets().empty());
}

TEST_F(AdjustTest, NewTimeOutsideWhatTheBreakDownCoversIsRefused) {
  // The server is at the last second 32 bits hold; by the time the clock is
  // read again it has moved on, so the new time lies past 2106. Likewise a
  // server near 1970 with a clock that went back gives a time before 1970.
  struct Case {
    std::int64_t server;
    std::int64_t reading_after;
  } cases[] = {{0xFFFFFFFFLL - 5, kS + 10}, {5, kS - 10}};
  for (const Case& c : cases) {
    ServeSntpOffset(c.server, 0);
    clock_.SetUnixTime(c.reading_after, 0);
    EXPECT_EQ(AdjustSystemClock("127.0.0.9", 3, 0, 0, 24, new_time_, pc_time_, status_, detail_), 0);
    EXPECT_EQ(status_, "ERROR (localtime-set)");
  }
  EXPECT_TRUE(clock_.utc_sets().empty());
}

TEST_F(AdjustTest, TimeSetsTheServerTextAsLocalTime) {
  std::string value(4, '\0');
  PutBe32(reinterpret_cast<std::uint8_t*>(value.data()), static_cast<std::uint32_t>(kS + kNtpUnixDelta));
  ServeBytes(value);
  std::string server_time;
  int code = -1;
  ASSERT_EQ(AdjustLocalClock(kTime, "127.0.0.9", 3, 0, server_time, pc_time_, status_, code), 1);
  EXPECT_EQ(server_time, "Sun Dec 06 20:36:06 2026");
  ASSERT_EQ(clock_.local_sets().size(), 1u);
  // The text's wall-clock time (JST), at whole seconds.
  const SystemTime set = clock_.local_sets()[0];
  EXPECT_EQ((SystemTime{set.year, set.month, 0, set.day, set.hour, set.minute, set.second, set.milliseconds}),
            (SystemTime{2026, 12, 0, 6, 20, 36, 6, 0}));
}

TEST_F(AdjustTest, DaytimeTextsThatCannotBeSetEndInLocaltimeSet) {
  int code = -1;
  std::string server_time;
  for (const char* reply : {"06 DEC 2026 18:22:47 UTC\r\n",  // another shape: month 0
                            "Sun Feb 31 11:36:06 2026\r\n",  // no such day
                            "Sun Dec\r\n",                   // a short line
                            "no line feed at all"}) {        // OK with an empty text
    ServeBytes(reply);
    EXPECT_EQ(AdjustLocalClock(kDaytime, "127.0.0.9", 3, 0, server_time, pc_time_, status_, code), 0) << reply;
    EXPECT_EQ(status_, "ERROR (localtime-set)") << reply;
    EXPECT_EQ(pc_time_, "Sun Dec 06 20:36:06 2026");
  }
  EXPECT_TRUE(clock_.local_sets().empty());

  ServeBytes("Sun Dec  6 11:36:06 2026\r\n");
  ASSERT_EQ(AdjustLocalClock(kDaytime, "127.0.0.9", 3, 0, server_time, pc_time_, status_, code), 1);
  EXPECT_EQ(server_time, "Sun Dec  6 11:36:06 2026\r");
  ASSERT_EQ(clock_.local_sets().size(), 1u);
  EXPECT_EQ(clock_.local_sets()[0].hour, 11);
  EXPECT_EQ(clock_.local_sets()[0].day, 6);
}

TEST(MicroTimeToSystemTime, BreaksDownInUtcWithMilliseconds) {
  SystemTime st;
  ASSERT_TRUE(MicroTimeToSystemTime({static_cast<std::uint32_t>(kS), 999999}, st));
  EXPECT_EQ(st, (SystemTime{2026, 12, 0, 6, 11, 36, 6, 999}));
  ASSERT_TRUE(MicroTimeToSystemTime({0xFFFFFFFFu, 0}, st));  // beyond 2038
  EXPECT_EQ(st, (SystemTime{2106, 2, 0, 7, 6, 28, 15, 0}));
}

}  // namespace
}  // namespace qv::engine
