// The SNTP message, its timestamps and the rules that judge a reply, on
// literal bytes and hand-computed values.
#include "engine/sntp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "engine/time_text.h"
#include "platform/ctime.h"
#include "sntp_replies.h"

namespace qv::engine {
namespace {

using replies::OnlyTheEcho;
using replies::Stamp;

constexpr std::uint32_t kS = 1700000000;  // 2023-11-14 22:13:20 UTC

TEST(SntpPacket, RequestBytesAndDecodeEncode) {
  const SntpBytes request = EncodeSntp(SntpRequest({kS, 999999}));
  const SntpBytes expected = {0xDB, 0, 4, 0xFA, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0,  // header
                              0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0xE8, 0xFE, 0x6F, 0x80,  0xFF, 0xFF, 0xEE, 0x11};  // kS + 2208988800, 999999 us
  EXPECT_EQ(request, expected);

  // A server's reply as chronyd sends it, field by field.
  const SntpBytes reply = {0x24, 8, 4, 0xE9, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x03, 0x04, 'L', 'O', 'C', 'L',
                           0xE8, 0xFE, 0x6F, 0x44, 0x80, 0, 0, 0,  0xE8, 0xFE, 0x6F, 0x80, 0xFF, 0xFF, 0xEE, 0x11,
                           0xE8, 0xFE, 0x6F, 0x82, 0x0C, 0xCC, 0xCC, 0xCD, 0xE8, 0xFE, 0x6F, 0x82, 0x0D, 0, 0, 1};
  const SntpPacket p{.leap = 0, .version = 4, .mode = 4, .stratum = 8, .poll = 4, .precision = -23,
                     .root_delay = 0x102, .root_dispersion = 0x304, .reference_id = 0x4C4F434C,
                     .reference = {0xE8FE6F44u, 0x80000000u},  // kS - 60 s, + 0.5 s
                     .originate = {0xE8FE6F80u, 0xFFFFEE11u},  // our request's transmit timestamp
                     .receive = {0xE8FE6F82u, 0x0CCCCCCDu}, .transmit = {0xE8FE6F82u, 0x0D000001u}};
  EXPECT_EQ(DecodeSntp(reply), p);
  EXPECT_EQ(ToMicroTime(p.receive), (MicroTime{kS + 2, 50000}));
  EXPECT_EQ(EncodeSntp(p), reply);
}

TEST(SntpPacket, TimestampConversions) {
  struct {
    NtpTimestamp ntp;
    MicroTime expected;
  } cases[] = {
      {{kNtpFromUnixDelta + kS, 0x80000000u}, {kS, 500000}},
      {{0, 0}, {2085978496u, 0}},  // a zero timestamp reads as 2036, not 1900
      {{kNtpFromUnixDelta, 0xFFFFFFFFu}, {0, 1000000}},
      {{kNtpFromUnixDelta, 0xFFFFFED8u}, {0, 1000000}},
      {{kNtpFromUnixDelta, 0xFFFFFED7u}, {0, 999999}},
      {{kNtpFromUnixDelta, 12884901u}, {0, 3000}},  // 4294.967 x 3000 exactly
      {{kNtpFromUnixDelta, 12884900u}, {0, 2999}},
      {{kNtpFromUnixDelta - 1, 4294962705u}, {0xFFFFFFFFu, 999998}},
  };
  for (const auto& c : cases) EXPECT_EQ(ToMicroTime(c.ntp), c.expected) << c.ntp.seconds << "/" << c.ntp.fraction;
  struct {
    MicroTime time;
    NtpTimestamp expected;
  } requests[] = {
      {{kS, 999999}, {kS + kNtpFromUnixDelta, 0xFFFFEE11u}},
      {{kS, 3000}, {kS + kNtpFromUnixDelta, 12884901u}},  // not one short, as a binary 4294.967 would give
      {{kS, 1}, {kS + kNtpFromUnixDelta, 4294u}},
      {{2085978496u, 0}, {0, 0}},  // NTP second 2^32: the era wraps to 0
  };
  for (const auto& r : requests) EXPECT_EQ(ToNtpTimestamp(r.time), r.expected) << r.time.micros;
  EXPECT_EQ(MicroTimeFromFileTime(116444736000000000LL + 1234567899), (MicroTime{123, 456789}));
}

TEST(SntpPacket, OffsetsMoveAReadingAndShowAsText) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  struct {
    MicroTime now;
    std::int64_t offset_ns;
    std::optional<MicroTime> moved;
    const char* text;
  } cases[] = {
      {{kS, 0}, -500000000, MicroTime{kS - 1, 500000}, "-0.500000"},
      {{kS, 999999}, 500, MicroTime{kS, 999999}, "+0.000001"},  // truncated; shown rounded, halves away from 0
      {{kS, 999999}, 1000, MicroTime{kS + 1, 0}, "+0.000001"},
      {{kS, 0}, -1999999500, MicroTime{kS - 2, 0}, "-2.000000"},
      {{kS, 0}, 1499, MicroTime{kS, 1}, "+0.000001"},
      {{kS, 0}, 0, MicroTime{kS, 0}, "+0.000000"},
      {{0, 0}, -500, std::nullopt, "-0.000001"},  // before 1970
      {{0xFFFFFFFFu, 999999}, 1000, std::nullopt, "+0.000001"},  // past 2106
      {{kS, 0}, kMax, std::nullopt, "+9223372036.854776"},
      {{kS, 0}, -kMax - 1, std::nullopt, "-9223372036.854776"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AddOffset(c.now, c.offset_ns), c.moved) << c.offset_ns;
    EXPECT_EQ(FormatOffset(c.offset_ns), c.text);
  }
}

TEST(SntpPacket, TimeAnswersReadInTheNextEraFromItsLastYear) {
  constexpr std::uint32_t kOverlap = 2054442496u;  // 2035-02-07 06:28:16 UTC
  struct {
    std::uint32_t answer;
    std::uint32_t now;
    std::optional<std::uint32_t> unix_seconds;
  } cases[] = {
      {2208988800u, kS, 0u},                // 1970-01-01, always
      {3999999999u, kS, 1791011199u},
      {2208988799u, kS, std::nullopt},      // before 1970: refused until the last year
      {5, kOverlap - 1, std::nullopt},
      {5, kOverlap, 2085978501u},           // 2036-02-07 06:28:21
      {2208988799u, kOverlap, 0xFFFFFFFFu}, // 2106-02-07 06:28:15
      {3999999999u, kOverlap, 1791011199u}, // era 0 values keep their meaning
  };
  for (const auto& c : cases)
    EXPECT_EQ(TimeAnswerToUnix(c.answer, {c.now, 0}), c.unix_seconds) << c.answer << " at " << c.now;
}

// Sent at kS, received by the server 2 s ahead after 50 ms, answered at
// once, back after 100 ms.
SntpPacket GoodReply() { return replies::GoodReply(kS, {kS + 2, 50000}); }

TEST(SntpCheck, UnusableRepliesAreBadResponsesThatSayWhy) {
  const char* const kRate = "stratum 0, kiss code RATE";
  struct {
    void (*change)(SntpPacket&);
    const char* detail;
  } cases[] = {
      {[](SntpPacket& p) { p = OnlyTheEcho(p); }, "mode 0"},  // all zero but the echo
      {[](SntpPacket& p) { p.mode = 3; }, "mode 3"},
      {[](SntpPacket& p) { p.mode = 5; }, "mode 5"},
      {[](SntpPacket& p) { p.version = 0; }, "version 0"},
      {[](SntpPacket& p) { p.version = 5; }, "version 5"},
      {[](SntpPacket& p) { p.leap = 3; }, "leap indicator 3 (unsynchronised)"},
      {[](SntpPacket& p) { p.stratum = 0, p.reference_id = 0x52415445; }, kRate},
      {[](SntpPacket& p) { p.stratum = 0, p.reference_id = 0x41431B00; }, "stratum 0, kiss code AC?"},
      {[](SntpPacket& p) { p.stratum = 16; }, "stratum 16"},
      {[](SntpPacket& p) { p.receive = {}; }, "receive timestamp 0"},
      {[](SntpPacket& p) { p.transmit = {}; }, "transmit timestamp 0"},
      // Accepted: the oldest and newest versions, leap warnings, stratum 15.
      {[](SntpPacket& p) { p.version = 1, p.leap = 1; }, ""},
      {[](SntpPacket& p) { p.version = 4, p.leap = 2, p.stratum = 15; }, ""},
  };
  for (const auto& c : cases) {
    SntpPacket reply = GoodReply();
    c.change(reply);
    EXPECT_EQ(UnusableReason(reply), c.detail);
    const SntpVerdict verdict = CheckSntpReply(reply, {kS, 100000}, true, 24);
    EXPECT_EQ(verdict.stage, *c.detail ? Stage::kSntpBadResponse : Stage::kOk) << c.detail;
    EXPECT_EQ(verdict.detail, c.detail);
  }
}

// Boundaries of every rule, in microseconds. The same table runs on both
// targets: equal stamps must compare equal wherever the code runs.
TEST(SntpCheck, ReferenceRoundTripAndHoldInOrder) {
  ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
  const MicroTime at{kS, 0}, old{kS - 60, 0};
  struct {
    MicroTime ref, t2, t3, t4;
    bool on;
    int hours;
    Stage stage;
  } cases[] = {
      {old, at, at, {kS + 10, 0}, true, 24, Stage::kOk},  // round trip exactly 10 s
      {old, at, at, {kS + 10, 1}, true, 24, Stage::kSntpBadResponse},
      {old, at, at, {kS - 1, 999999}, true, 24, Stage::kSntpBadResponse},
      {old, at, {kS + 10, 0}, {kS, 5}, true, 24, Stage::kOk},  // held exactly 10 s
      {old, at, {kS + 10, 1}, {kS, 5}, true, 24, Stage::kSntpThroughput},
      {old, {kS, 999999}, {kS + 10, 999999}, {kS, 5}, true, 24, Stage::kOk},
      {old, {kS, 999999}, {kS + 11, 0}, {kS, 5}, true, 24, Stage::kSntpThroughput},
      {old, {kS, 999999}, {kS, 999998}, {kS, 5}, true, 24, Stage::kSntpThroughput},
      // One clock reading stamped as both receive and transmit time.
      {old, {kS, 123457}, {kS, 123457}, {kS, 5}, true, 24, Stage::kOk},
      {old, {kS, 333333}, {kS, 333333}, {kS, 5}, true, 24, Stage::kOk},
      {old, {kS, 999999}, {kS, 999999}, {kS, 5}, true, 24, Stage::kOk},
      {old, {0xFFFFFFFFu, 98765}, {0xFFFFFFFFu, 98765}, {kS, 5}, false, 24, Stage::kOk},
      {old, {kS, 1}, at, {kS + 11, 0}, true, 24, Stage::kSntpBadResponse},  // both bad: round trip first
      {{kS - 86400, 0}, at, at, at, true, 24, Stage::kOk},  // reference exactly 24 h old
      {{kS - 86401, 0}, at, at, at, true, 24, Stage::kSntpReference},
      {{kS - 86400, 999999}, {kS, 999999}, {kS, 999999}, at, true, 24, Stage::kOk},
      {{kS - 86400, 999998}, {kS, 999999}, {kS, 999999}, at, true, 24, Stage::kSntpReference},
      {{kS - 86401, 0}, at, at, at, false, 24, Stage::kOk},  // check off
      {{kS, 1}, at, at, at, true, 1, Stage::kSntpReference},  // set after it received
      {{kS, 654321}, {kS, 654321}, {kS, 654321}, at, true, 1, Stage::kOk},  // set as it received
      {{2085978496u, 0}, at, at, at, true, 24, Stage::kSntpReference},  // never set: reads as 2036
  };
  for (const auto& c : cases) {
    SntpPacket reply = GoodReply();
    reply.reference = Stamp(c.ref);
    reply.receive = Stamp(c.t2);
    reply.transmit = Stamp(c.t3);
    const SntpVerdict verdict = CheckSntpReply(reply, c.t4, c.on, c.hours);
    EXPECT_EQ(verdict.stage, c.stage) << StageName(verdict.stage) << " for " << c.t2.micros << "/" << c.t4.seconds;
    EXPECT_EQ(verdict.detail.empty(), c.stage != Stage::kSntpReference);
  }
  // The reference detail: in the C runtime's zone, microseconds unpadded.
  SntpPacket reply = GoodReply();
  reply.reference = Stamp({kS - 90000, 7});
  const SntpVerdict verdict = CheckSntpReply(reply, at, true, 24);
  EXPECT_EQ(verdict.detail, platform::FormatCTime(kS - 90000, "%c") + ".7");
  EXPECT_NE(verdict.detail.find("06:13:20"), std::string::npos) << verdict.detail;  // 21:13:20 UTC in JST
}

TEST(SntpCheck, OffsetFromTheFourTimes) {
  // 2 s ahead, 50 ms each way; a microsecond more on the way back; twenty
  // years away, which is still believable.
  EXPECT_EQ(CheckSntpReply(GoodReply(), {kS, 100000}, true, 24).offset_ns, 2000000000);
  EXPECT_EQ(CheckSntpReply(GoodReply(), {kS, 100001}, true, 24).offset_ns, 1999999500);
  SntpPacket far = GoodReply();
  const std::uint32_t year2043 = kS + 20u * 365 * 86400;
  far.receive = far.transmit = Stamp({year2043, 0});
  EXPECT_EQ(CheckSntpReply(far, {kS, 0}, false, 24).offset_ns, std::int64_t{year2043 - kS} * 1000000000);
}

}  // namespace
}  // namespace qv::engine
