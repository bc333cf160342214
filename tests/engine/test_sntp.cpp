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
void PutBe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
void PutMicro(std::uint8_t* p, MicroTime t) {  // as NtpToMicroTime leaves it
  std::memcpy(p, &t.seconds, 4);
  std::memcpy(p + 4, &t.micros, 4);
}

struct Reply {
  std::uint8_t bytes[kSntpPacketSize] = {};
  Reply(MicroTime ref, MicroTime t1, MicroTime t2, MicroTime t3) {
    PutMicro(bytes + sntp_field::kReference, ref);
    PutMicro(bytes + sntp_field::kOriginate, t1);
    PutMicro(bytes + sntp_field::kReceive, t2);
    PutMicro(bytes + sntp_field::kTransmit, t3);
  }
};

class SntpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::SetCRuntimeZone("JST-9")); }
  void TearDown() override { SetQueryRunner(nullptr); }
  test::FakeClock clock_;
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
  EXPECT_EQ(0u, Be32(req + 44));

  clock_.SetUtcFileTime(platform::kFileTimeUnixEpoch + 1234567899);  // 123.4567899 s
  EXPECT_EQ((MicroTime{123, 456789}), NowMicroTime());
}

TEST_F(SntpTest, NtpTimestampConversion) {
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
    PutBe32(ts, c.seconds);
    PutBe32(ts + 4, c.fraction);
    NtpToMicroTime(ts);
    EXPECT_EQ(c.expected, LoadMicroTime(ts)) << c.seconds << "/" << c.fraction;
  }
}

TEST_F(SntpTest, ChecksInOrderAndTheOffset) {
  struct {
    MicroTime t2, t3, t4;
    const char* status;
  } cases[] = {
      {{kS, 0}, {kS, 0}, {kS + 10, 0}, "OK"},  // round trip exactly 10 s
      {{kS, 0}, {kS, 0}, {kS + 10, 1}, "ERROR (SNTP: Bad Response)"},
      {{kS, 0}, {kS, 0}, {kS - 1, 999999}, "ERROR (SNTP: Bad Response)"},
      {{kS, 0}, {kS + 10, 0}, {kS, 5}, "OK"},  // held exactly 10 s
      {{kS, 0}, {kS + 10, 1}, {kS, 5}, "ERROR (SNTP: Server Throughput)"},
      {{kS, 1}, {kS, 0}, {kS + 11, 0}, "ERROR (SNTP: Bad Response)"},  // both bad: round trip first
  };
  for (const auto& c : cases) {
    Reply r({kS - 60, 0}, {kS, 0}, c.t2, c.t3);
    double offset = 123.0;
    std::string status = "OK", detail = "untouched";
    EXPECT_EQ(std::string(c.status) == "OK", CheckSntpReply(r.bytes, c.t4, offset, status, detail, 1, 24) == 1);
    EXPECT_EQ(c.status, status);
    EXPECT_EQ("untouched", detail);
    if (status != "OK") {
      EXPECT_EQ(123.0, offset) << "a failed check leaves the offset";
    }
  }
  // Server 2 s ahead, 50 ms each way; then years away, which is still believable.
  double offset = 0;
  std::string status = "OK", detail;
  ASSERT_EQ(1, CheckSntpReply(Reply({kS, 0}, {kS, 0}, {kS + 2, 50000}, {kS + 2, 50000}).bytes, {kS, 100000},
                              offset, status, detail, 1, 24));
  EXPECT_NEAR(2.0, offset, 1e-6);
  std::uint32_t far = kS + 20u * 365 * 86400;
  ASSERT_EQ(1, CheckSntpReply(Reply({0, 0}, {kS, 0}, {far, 0}, {far, 0}).bytes, {kS, 0}, offset, status, detail,
                              0, 24));
  EXPECT_NEAR(static_cast<double>(far - kS), offset, 1e-6);
}

TEST_F(SntpTest, ReferenceCheck) {
  constexpr std::uint32_t kT2 = kS + 86400;
  std::string status, detail;
  auto check = [&](MicroTime ref, int on, int hours) {
    double offset = 0;
    status = "OK";
    detail.clear();
    return CheckSntpReply(Reply(ref, {kT2, 0}, {kT2, 0}, {kT2, 0}).bytes, {kT2, 0}, offset, status, detail, on,
                          hours);
  };
  EXPECT_EQ(1, check({kS, 0}, 1, 24));  // exactly 24 h old
  EXPECT_EQ(0, check({kS - 1, 0}, 1, 24));
  EXPECT_EQ(1, check({kS - 1, 0}, 0, 24));  // check off
  EXPECT_EQ(1, check({kT2, 0}, 1, 0));
  EXPECT_EQ(0, check({kT2, 1}, 1, 0));  // set after it received

  // The detail: the reference time in the C runtime's zone, microseconds unpadded.
  EXPECT_EQ(0, check({kS - 3600, 7}, 1, 24));
  EXPECT_EQ("ERROR (SNTP: ReferenceTimestamp)", status);
  EXPECT_EQ(platform::FormatCTime(kS - 3600, "%c") + ".7", detail);
  EXPECT_NE(std::string::npos, detail.find("06:13:20")) << detail;  // 21:13:20 UTC in JST

  std::uint8_t zero[8] = {};  // a server that never set its clock
  NtpToMicroTime(zero);
  EXPECT_EQ(1, check(LoadMicroTime(zero), 0, 24));
  EXPECT_EQ(0, check(LoadMicroTime(zero), 1, 24));
}

TEST_F(SntpTest, TimeTextsInTheCRuntimeZoneThrough2106) {
  EXPECT_EQ("Thu Jan 01 09:00:00 1970", FormatServerTime({0, 0}));
  EXPECT_EQ("Tue Jan 19 12:14:08 2038", FormatServerTime({2147483648u, 999999}));
  EXPECT_EQ("Sun Feb 07 15:28:15 2106", FormatServerTime({0xFFFFFFFFu, 0}));
  EXPECT_EQ("Wed Nov 15 2023 07:13:20.000007", FormatMicroTime({kS, 7}));
  EXPECT_EQ("Sun Feb 07 2106 15:28:15.1000000", FormatMicroTime({0xFFFFFFFFu, 1000000}));
}

// Answers as the runner and its worker would, for a server `ahead` seconds
// ahead and `path` seconds away each way, or fails with a stage name.
void Serve(QueryJob& job, test::FakeClock& clock, double ahead, double path, const char* stage = nullptr) {
  clock.SetUnixTime(kS, 0);
  std::uint8_t request[kSntpPacketSize];
  BuildSntpRequest(request);
  if (stage) {
    *job.status = stage;
    *job.error_code = 10061;
    return;
  }
  auto at = [](double unix) {
    auto seconds = static_cast<std::uint32_t>(unix);
    return MicroTime{seconds, static_cast<std::uint32_t>((unix - seconds) * 1e6)};
  };
  auto put_ntp = [&](std::uint8_t* p, double unix) {
    PutBe32(p, at(unix).seconds + kNtpFromUnix);
    PutBe32(p + 4, static_cast<std::uint32_t>(at(unix).micros * 4294.967));
  };
  double t2 = kS + ahead + path;
  put_ntp(job.reply + sntp_field::kReference, t2 - 3600);
  std::memcpy(job.reply + sntp_field::kOriginate, request + sntp_field::kTransmit, 8);
  put_ntp(job.reply + sntp_field::kReceive, t2);
  put_ntp(job.reply + sntp_field::kTransmit, t2);
  for (int field : {sntp_field::kReference, sntp_field::kOriginate, sntp_field::kReceive, sntp_field::kTransmit}) {
    NtpToMicroTime(job.reply + field);
  }
  *job.receive_time = at(kS + 2 * path);
  *job.status = "OK";
  job.result = 1;
}

TEST_F(SntpTest, QuerySntpOffsetThroughTheRunner) {
  clock_.SetLocalTime({2026, 1, 2, 6, 9, 5, 3, 0});
  double ahead = 2.0, path = 0.05;
  const char* stage = nullptr;
  QueryJob seen;
  SetQueryRunner([&](QueryJob& job) {
    seen = job;
    Serve(job, clock_, ahead, path, stage);
  });
  std::string server_time, pc_time, status, detail;
  double offset = 0;
  ASSERT_EQ(1, QuerySntpOffset("ntp.example", 7, 0, 1, 24, &server_time, &pc_time, &offset, status, detail));
  EXPECT_EQ(kSntp, seen.protocol);
  EXPECT_EQ(7, seen.timeout);
  EXPECT_EQ(kSntpPacketSize, seen.reply_size);
  EXPECT_NEAR(2.0, offset, 2e-6);
  EXPECT_EQ("OK", status);
  EXPECT_EQ("Wed Nov 15 07:13:22 2023", server_time);  // T3 in JST
  EXPECT_EQ("Tue Jan 06 09:05:03 2026", pc_time);

  ahead = -0.5;  // the adjustment asks for the offset only
  ASSERT_EQ(1, QuerySntpOffset("ntp.example", 7, 0, 1, 24, nullptr, nullptr, &offset, status, detail));
  EXPECT_NEAR(-0.5, offset, 2e-6);

  // Transport failure: the code becomes the detail, the PC time is still given.
  stage = "Connect";
  server_time = "old";
  pc_time.clear();
  EXPECT_EQ(0, QuerySntpOffset("ntp.example", 7, 0, 1, 24, &server_time, &pc_time, &offset, status, detail));
  EXPECT_EQ("ERROR (Connect)", status);
  EXPECT_EQ("10061", detail);
  EXPECT_EQ("Tue Jan 06 09:05:03 2026", pc_time);
  EXPECT_EQ("old", server_time);
  EXPECT_NEAR(-0.5, offset, 2e-6);

  // Transport fine, reply not believable: the detail is left alone.
  stage = nullptr;
  path = 5.5;
  detail.clear();
  EXPECT_EQ(0, QuerySntpOffset("ntp.example", 7, 0, 0, 24, &server_time, nullptr, &offset, status, detail));
  EXPECT_EQ("ERROR (SNTP: Bad Response)", status);
  EXPECT_EQ("", detail);
  EXPECT_EQ("old", server_time);
}

}  // namespace
}  // namespace qv::engine
