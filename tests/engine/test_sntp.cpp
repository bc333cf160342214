#include "engine/sntp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/query_job.h"
#include "engine/run_query.h"
#include "platform/ctime.h"
#include "support/fake_clock.h"

namespace qv::engine {
namespace {

constexpr std::uint32_t kNtpFromUnix = 2208988800u;
constexpr std::uint32_t kS = 1700000000;  // 2023-11-14 22:13:20 UTC

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Writes reference, originate, receive and transmit as NtpToMicroTime leaves them.
void PutTimes(std::uint8_t* reply, MicroTime ref, MicroTime t1, MicroTime t2, MicroTime t3) {
  const MicroTime times[] = {ref, t1, t2, t3};
  for (int i = 0; i < 4; ++i) {
    std::memcpy(reply + sntp_field::kReference + 8 * i, &times[i].seconds, 4);
    std::memcpy(reply + sntp_field::kReference + 8 * i + 4, &times[i].micros, 4);
  }
}

class SntpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::SetCRuntimeZone("JST-9")); }
  void TearDown() override { SetQueryRunner(nullptr); }

  int Check(MicroTime ref, MicroTime t2, MicroTime t3, MicroTime t4, int on = 1, int hours = 24) {
    std::uint8_t reply[kSntpPacketSize] = {};
    PutTimes(reply, ref, {kS, 0}, t2, t3);
    status_ = "OK";
    detail_ = "untouched";
    return CheckSntpReply(reply, t4, offset_, status_, detail_, on, hours);
  }

  test::FakeClock clock_;
  double offset_ = 123.0;
  std::string status_, detail_;
};

TEST_F(SntpTest, RequestAndClockReading) {
  const std::uint8_t head[16] = {0xDB, 0, 4, 0xFA, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  std::uint8_t req[kSntpPacketSize];
  std::memset(req, 0xCC, sizeof req);
  clock_.SetUnixTime(kS, 999999);
  BuildSntpRequest(req);
  EXPECT_EQ(0, std::memcmp(req, head, sizeof head));
  for (int i = 16; i < 40; ++i) EXPECT_EQ(0, req[i]) << "byte " << i;
  EXPECT_EQ(kS + kNtpFromUnix, Be32(req + 40));
  EXPECT_EQ(0xFFFFEE11u, Be32(req + 44));

  clock_.SetUnixTime(2085978496LL, 0);  // NTP second 2^32: the era wraps to 0
  BuildSntpRequest(req);
  EXPECT_EQ(0u, Be32(req + 40));

  clock_.SetUtcFileTime(platform::kFileTimeUnixEpoch + 1234567899);  // 123.4567899 s
  EXPECT_EQ((MicroTime{123, 456789}), NowMicroTime());
}

TEST_F(SntpTest, TimestampsAndTheirTextsThrough2106) {
  struct {
    std::uint32_t seconds, fraction;
    MicroTime expected;
  } cases[] = {
      {kNtpFromUnix + kS, 0x80000000u, {kS, 500000}},
      {0, 0, {2085978496u, 0}},  // a zero timestamp reads as 2036, not 1900
      {kNtpFromUnix, 0xFFFFFFFFu, {0, 1000000}},
      {kNtpFromUnix, 0xFFFFFED7u, {0, 999999}},
      {kNtpFromUnix - 1, 4294962705u, {0xFFFFFFFFu, 999998}},
  };
  for (const auto& c : cases) {
    std::uint8_t ts[8];
    for (int i = 0; i < 4; ++i) {
      ts[i] = static_cast<std::uint8_t>(c.seconds >> (24 - 8 * i));
      ts[4 + i] = static_cast<std::uint8_t>(c.fraction >> (24 - 8 * i));
    }
    NtpToMicroTime(ts);
    EXPECT_EQ(c.expected, LoadMicroTime(ts)) << c.seconds << "/" << c.fraction;
  }
  // In the C runtime's zone, seconds unsigned.
  EXPECT_EQ("Thu Jan 01 09:00:00 1970", FormatServerTime({0, 0}));
  EXPECT_EQ("Tue Jan 19 12:14:08 2038", FormatServerTime({2147483648u, 999999}));
  EXPECT_EQ("Sun Feb 07 15:28:15 2106", FormatServerTime({0xFFFFFFFFu, 0}));
}

TEST_F(SntpTest, ChecksInOrderAndTheOffset) {
  const char* const kBad = "ERROR (SNTP: Bad Response)";
  const char* const kRef = "ERROR (SNTP: ReferenceTimestamp)";
  const MicroTime at{kS, 0}, old{kS - 60, 0};
  struct {
    MicroTime ref, t2, t3, t4;
    int on, hours;
    const char* status;
  } cases[] = {
      {old, at, at, {kS + 10, 0}, 1, 24, "OK"},  // round trip exactly 10 s
      {old, at, at, {kS + 10, 1}, 1, 24, kBad},
      {old, at, at, {kS - 1, 999999}, 1, 24, kBad},
      {old, at, {kS + 10, 0}, {kS, 5}, 1, 24, "OK"},  // held exactly 10 s
      {old, at, {kS + 10, 1}, {kS, 5}, 1, 24, "ERROR (SNTP: Server Throughput)"},
      {old, {kS, 1}, at, {kS + 11, 0}, 1, 24, kBad},  // both bad: round trip first
      {{kS - 86400, 0}, at, at, at, 1, 24, "OK"},                 // reference exactly 24 h old
      {{kS - 86401, 0}, at, at, at, 1, 24, kRef},
      {{kS - 86401, 0}, at, at, at, 0, 24, "OK"},  // check off
      {at, at, at, at, 1, 0, "OK"},
      {{kS, 1}, at, at, at, 1, 0, kRef},                 // set after it received
      {{2085978496u, 0}, at, at, at, 1, 24, kRef},       // never set: reads as 2036
      {{2085978496u, 0}, at, at, at, 0, 24, "OK"},
  };
  for (const auto& c : cases) {
    offset_ = 123.0;
    EXPECT_EQ(std::string(c.status) == "OK", Check(c.ref, c.t2, c.t3, c.t4, c.on, c.hours) == 1);
    EXPECT_EQ(c.status, status_);
    EXPECT_EQ(status_ == "OK" ? offset_ : 123.0, offset_) << "a failed check leaves the offset";
    EXPECT_EQ(status_ == kRef ? detail_ : "untouched", detail_);
  }
  // The reference detail: in the C runtime's zone, microseconds unpadded.
  EXPECT_EQ(0, Check({kS - 90000, 7}, at, at, at));
  EXPECT_EQ(platform::FormatCTime(kS - 90000, "%c") + ".7", detail_);
  EXPECT_NE(std::string::npos, detail_.find("06:13:20")) << detail_;  // 21:13:20 UTC in JST

  // Server 2 s ahead, 50 ms each way; then years away, which is still believable.
  ASSERT_EQ(1, Check(at, {kS + 2, 50000}, {kS + 2, 50000}, {kS, 100000}));
  EXPECT_NEAR(2.0, offset_, 1e-6);
  const std::uint32_t far = kS + 20u * 365 * 86400;
  ASSERT_EQ(1, Check({0, 0}, {far, 0}, {far, 0}, at, 0));
  EXPECT_NEAR(static_cast<double>(far - kS), offset_, 1e-6);
}

TEST_F(SntpTest, QuerySntpOffsetThroughTheRunner) {
  clock_.SetLocalReading({2026, 1, 2, 6, 9, 5, 3, 0});
  const char* stage = nullptr;
  int timeout = 0;
  SetQueryRunner([&](QueryJob& job) {  // 50 ms each way to a server 2 s ahead, or a failure at `stage`
    timeout = job.timeout;
    *job.status = stage ? stage : "OK";
    *job.error_code = stage ? 10061 : 0;
    job.result = stage ? 0 : 1;
    PutTimes(job.reply, {kS - 3600, 0}, {kS, 0}, {kS + 2, 50000}, {kS + 2, 50000});
    *job.receive_time = {kS, 100000};
  });
  std::string server_time, pc_time, status, detail;
  double offset = 0;
  ASSERT_EQ(1, QuerySntpOffset("ntp.example", 7, 0, 1, 24, &server_time, &pc_time, &offset, status, detail));
  EXPECT_EQ(7, timeout);
  EXPECT_NEAR(2.0, offset, 1e-6);
  EXPECT_EQ("OK", status);
  EXPECT_EQ("Wed Nov 15 07:13:22 2023", server_time);  // T3 in JST
  EXPECT_EQ("Tue Jan 06 09:05:03 2026", pc_time);

  // Transport failure: the code becomes the detail, the PC time is still
  // given, the rest is left alone.
  stage = "Connect";
  server_time = "old";
  pc_time.clear();
  offset = 9;
  EXPECT_EQ(0, QuerySntpOffset("ntp.example", 7, 0, 1, 24, &server_time, &pc_time, &offset, status, detail));
  EXPECT_EQ("ERROR (Connect)", status);
  EXPECT_EQ("10061", detail);
  EXPECT_EQ("Tue Jan 06 09:05:03 2026", pc_time);
  EXPECT_EQ("old", server_time);
  EXPECT_EQ(9, offset);
}

}  // namespace
}  // namespace qv::engine
