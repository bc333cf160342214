// Clock adjustment over the fake clock: SNTP sets UTC to a fresh reading
// plus the offset, TIME and DAYTIME set the server's text as local time,
// and every refusal leaves the clock alone.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "engine/adjust.h"
#include "engine/run_query.h"
#include "engine/sntp.h"
#include "platform/ctime.h"
#include "ui/headless/headless_host.h"
#include "support/fake_clock.h"

namespace qv::engine {
namespace {

using platform::SystemTime;

constexpr std::int64_t kS = 1796556966;  // 2026-12-06 11:36:06 UTC
constexpr const char* kPcText = "Sun Dec 06 20:36:06 2026";

// Seconds since 1900 and a fraction, big-endian, as on the wire.
void PutNtp(std::uint8_t* p, std::int64_t unix_seconds, std::uint32_t fraction = 0) {
  const std::uint32_t words[] = {static_cast<std::uint32_t>(unix_seconds + 2208988800LL), fraction};
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(words[i / 4] >> (24 - 8 * (i % 4)));
}

class AdjustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetHost(&host_);
    platform::CaptureOsZone();
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    clock_.SetUnixTime(kS);
    clock_.SetLocalReading({2026, 12, 0, 6, 20, 36, 6, 0});
  }
  void TearDown() override {
    SetQueryRunner(nullptr);
    ui::SetHost(nullptr);
  }

  int AdjustSystem() { return AdjustSystemClock("127.0.0.9", 3, 0, 0, 24, new_time_, pc_time_, status_, detail_); }

  ui::HeadlessHost host_;
  test::FakeClock clock_;
  std::string new_time_, pc_time_, status_, detail_;
};

TEST_F(AdjustTest, SntpSetsAFreshReadingPlusTheOffsetInUtcOrNothing) {
  const struct {
    std::int64_t server;
    std::uint32_t fraction;
    std::int64_t reading, reading_micros;  // taken after the query
    bool refuse;
    std::optional<SystemTime> set;  // none: "ERROR (localtime-set)"
    const char* new_time;           // in the C runtime's zone
  } kCases[] = {
      {kS - 1, 0x80000000u, kS, 0, false, SystemTime{2026, 12, 0, 6, 11, 36, 5, 500}, "Sun Dec 06 20:36:05 2026"},
      {kS + 2, 0, kS, 250000, false, SystemTime{2026, 12, 0, 6, 11, 36, 8, 250}, "Sun Dec 06 20:36:08 2026"},
      {kS + 2, 0, kS, 0, true, {}, "before"},                  // the system refuses
      {0xFFFFFFFFLL - 5, 0, kS + 10, 0, false, {}, "before"},  // the new time lies past 2106
      {5, 0, kS - 10, 0, false, {}, "before"},                 // or before 1970: the clock is not asked
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.server);
    // A reply as QueryServer leaves it (stamps converted in place): sent
    // and received at kS, the server's clock at c.server + c.fraction.
    SetQueryRunner([&c](QueryJob& job) {
      std::memset(job.reply, 0, kSntpPacketSize);
      PutNtp(job.reply + sntp_field::kReference, c.server - 60);
      PutNtp(job.reply + sntp_field::kOriginate, kS);
      PutNtp(job.reply + sntp_field::kReceive, c.server, c.fraction);
      PutNtp(job.reply + sntp_field::kTransmit, c.server, c.fraction);
      for (int field = sntp_field::kReference; field <= sntp_field::kTransmit; field += 8)
        NtpToMicroTime(job.reply + field);
      *job.receive_time = {static_cast<std::uint32_t>(kS), 0};
      *job.status = "OK";
      job.result = 1;
    });
    clock_.SetUnixTime(c.reading, c.reading_micros);
    clock_.SetRefuse(c.refuse);
    new_time_ = "before";
    const std::size_t sets = clock_.utc_sets().size();
    EXPECT_EQ(AdjustSystem(), c.set ? 1 : 0);
    EXPECT_EQ(status_, c.set ? "OK" : "ERROR (localtime-set)");
    EXPECT_EQ(new_time_, c.new_time);
    EXPECT_EQ(pc_time_, kPcText);
    ASSERT_EQ(clock_.utc_sets().size(), sets + (c.set ? 1 : 0));
    if (c.set) { EXPECT_EQ(clock_.utc_sets().back(), *c.set); }
  }
  EXPECT_EQ(clock_.refused_calls(), 1);
  // A failed query never reaches the clock.
  SetQueryRunner([](QueryJob& job) { *job.status = "TimeOut"; });
  EXPECT_EQ(AdjustSystem(), 0);
  EXPECT_EQ(status_, "ERROR (TimeOut)");
  EXPECT_EQ(clock_.utc_sets().size(), 2u);
}

TEST_F(AdjustTest, TimeAndDaytimeSetTheServerTextAsLocalTime) {
  std::string time_answer(4, '\0');
  PutNtp(reinterpret_cast<std::uint8_t*>(time_answer.data()), kS);  // its first 4 bytes
  const struct {
    int protocol;
    std::string reply, server_time;
    std::optional<SystemTime> set;  // none: "ERROR (localtime-set)", nothing set
  } kCases[] = {
      {kTime, time_answer, kPcText, SystemTime{2026, 12, 0, 6, 20, 36, 6, 0}},  // the text's wall-clock time
      {kDaytime, "Sun Dec  6 11:36:06 2026\r\n", "Sun Dec  6 11:36:06 2026\r", SystemTime{2026, 12, 0, 6, 11, 36, 6}},
      {kDaytime, "06 DEC 2026 18:22:47 UTC\r\n", "06 DEC 2026 18:22:47 UTC\r", {}},  // another shape: month 0
      {kDaytime, "Sun Feb 31 11:36:06 2026\r\n", "Sun Feb 31 11:36:06 2026\r", {}},
      {kDaytime, "Sun Dec\r\n", "Sun Dec\r", {}},
      {kDaytime, "no line feed at all", "", {}},  // OK with an empty text
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.reply);
    SetQueryRunner([&c](QueryJob& job) {
      std::memcpy(job.reply, c.reply.data(), c.reply.size());
      *job.status = "OK";
      job.result = 1;
    });
    const std::size_t sets = clock_.local_sets().size();
    int code = -1;
    std::string server_time;
    EXPECT_EQ(AdjustLocalClock(c.protocol, "127.0.0.9", 3, 0, server_time, pc_time_, status_, code), c.set ? 1 : 0);
    EXPECT_EQ(status_, c.set ? "OK" : "ERROR (localtime-set)");
    EXPECT_EQ(server_time, c.server_time);
    EXPECT_EQ(pc_time_, kPcText);
    ASSERT_EQ(clock_.local_sets().size(), sets + (c.set ? 1 : 0));
    if (c.set) { EXPECT_EQ(clock_.local_sets().back(), *c.set); }
  }
  EXPECT_TRUE(clock_.utc_sets().empty());
}

}  // namespace
}  // namespace qv::engine
