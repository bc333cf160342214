// The time service's messages: what goes in comes out, and anything not a
// whole, well-formed message of this version is refused, never half read.
#include "engine/service_wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::ClockRefusal;

ServiceRequest Req(int protocol, std::string server, int timeout, bool check, int hours) {
  return {protocol, std::move(server), timeout, check, hours};
}

Result Res(Stage stage, ClockRefusal refusal, std::optional<std::int64_t> offset, std::string server_time) {
  Result r;
  r.mode = Mode::kAdjust;
  r.stage = stage;
  r.error_code = stage == Stage::kConnect ? 10061 : 0;
  r.status = StatusText(stage, "HostNotFound");
  r.detail = stage == Stage::kConnect ? "10061" : "";
  r.server_time = std::move(server_time);
  r.pc_time = "Sun Dec 06 20:36:06 2026";
  r.offset_ns = offset;
  r.refusal = refusal;
  return r;
}

// Rewrites the length prefix after a change to the body.
Bytes Reframed(Bytes bytes) {
  const std::uint32_t n = static_cast<std::uint32_t>(bytes.size() - 4);
  for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
  return bytes;
}

TEST(ServiceWire, RequestsAndRepliesComeBackAsSent) {
  for (const ServiceRequest& request :
       {Req(kSntp, "127.0.0.1", 3, true, 24), Req(kTime, "ntp.example.org", 60, false, 1),
        Req(kDaytime, std::string(kMaxServiceServer, 'a'), 1, true, -5)}) {
    SCOPED_TRACE(request.server);
    const Bytes bytes = EncodeServiceRequest(request);
    EXPECT_LE(bytes.size(), kMaxServiceRequest);
    EXPECT_EQ(DecodeServiceRequest(bytes), request);
  }
  const struct {
    ServiceAnswer answer;
    Result result;
  } kReplies[] = {
      {ServiceAnswer::kResult, Res(Stage::kOk, ClockRefusal::kNone, -1234567891234, "Sun Dec 06 20:36:08 2026")},
      {ServiceAnswer::kResult, Res(Stage::kClockSet, ClockRefusal::kNoRight, 3600000000000, "")},
      {ServiceAnswer::kResult, Res(Stage::kOk, ClockRefusal::kNone, {}, "Sun Dec  6 11:36:06 2026\r")},  // CR kept
      {ServiceAnswer::kResult, Res(Stage::kConnect, ClockRefusal::kNone, {}, "")},
      {ServiceAnswer::kBusy, {}},
      {ServiceAnswer::kRefused, {}},
  };
  for (const auto& c : kReplies) {
    SCOPED_TRACE(c.result.status);
    const Bytes bytes = EncodeServiceReply({c.answer, c.result});
    const std::optional<ServiceReply> back = DecodeServiceReply(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->answer, c.answer);
    if (c.answer != ServiceAnswer::kResult) continue;
    const Result& r = back->result;
    EXPECT_EQ(r.stage, c.result.stage);
    EXPECT_EQ(r.error_code, c.result.error_code);
    EXPECT_EQ(r.status, c.result.status);
    EXPECT_EQ(r.detail, c.result.detail);
    EXPECT_EQ(r.server_time, c.result.server_time);
    EXPECT_EQ(r.pc_time, c.result.pc_time);
    EXPECT_EQ(r.offset_ns, c.result.offset_ns);
    EXPECT_EQ(r.refusal, c.result.refusal);
  }
  // Texts too long for a reply are cut, never spill past its bound; what
  // arrives is safe to show.
  Result loud = Res(Stage::kOk, ClockRefusal::kNone, 0, "");
  loud.detail = std::string(5000, 'x');
  loud.set_by = "\x1b[2Jme";
  const Bytes bytes = EncodeServiceReply({ServiceAnswer::kResult, loud});
  EXPECT_LE(bytes.size(), kMaxServiceReply);
  const std::optional<ServiceReply> back = DecodeServiceReply(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->result.detail, std::string(kMaxServiceText, 'x'));
  EXPECT_EQ(back->result.set_by, "?[2Jme");
}

TEST(ServiceWire, AnythingButAWholeWellFormedMessageIsRefused) {
  const Bytes good = EncodeServiceRequest(Req(kSntp, "127.0.0.1", 3, true, 24));
  // Every cut short, and one byte too many.
  for (std::size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(DecodeServiceRequest(Bytes(good.begin(), good.begin() + n))) << n;
  Bytes longer = good;
  longer.push_back(0);
  EXPECT_FALSE(DecodeServiceRequest(longer));
  EXPECT_FALSE(DecodeServiceRequest(Reframed(longer)));
  // Body offsets: 4 tag, 5 version, 6 protocol, 7..10 server length, then
  // the server text, its timeout (4), check (1), hours (4).
  const std::size_t timeout_at = 11 + 9;
  const struct {
    const char* what;
    std::size_t at;
    std::uint8_t value;
  } kBent[] = {{"tag", 4, 'R'}, {"version", 5, kServiceWireVersion + 1}, {"protocol", 6, 3},
               {"server length past the end", 7, 200}, {"a space in the server", 11, ' '},
               {"a control character in the server", 12, '\n'}, {"timeout 0", timeout_at, 0},
               {"timeout 61", timeout_at, 61}, {"check 2", timeout_at + 4, 2}};
  for (const auto& c : kBent) {
    Bytes bent = good;
    bent[c.at] = c.value;
    EXPECT_FALSE(DecodeServiceRequest(bent)) << c.what;
  }
  // A server name past its bound, and a message past the request's bound.
  EXPECT_FALSE(DecodeServiceRequest(EncodeServiceRequest(Req(kSntp, "", 3, true, 24))));
  Bytes huge = good;
  huge.resize(kMaxServiceRequest + 1);
  EXPECT_FALSE(DecodeServiceRequest(Reframed(huge)));
  Bytes wide = EncodeServiceRequest(Req(kSntp, std::string(kMaxServiceServer, 'a'), 3, true, 24));
  wide[7] = static_cast<std::uint8_t>(kMaxServiceServer + 1);
  wide.insert(wide.begin() + 11, 'a');
  EXPECT_FALSE(DecodeServiceRequest(Reframed(wide)));

  // Replies: a request is no reply; an unknown answer, stage or refusal, a
  // refusal without the clock's stage (or that stage without one), and the
  // reply's bound.
  EXPECT_FALSE(DecodeServiceReply(good));
  const Bytes refused = EncodeServiceReply({ServiceAnswer::kResult, Res(Stage::kClockSet, ClockRefusal::kNoRight, 0, "")});
  ASSERT_TRUE(DecodeServiceReply(refused));
  const std::size_t stage_at = 7, refusal_at = refused.size() - 1;
  const struct {
    const char* what;
    std::size_t at;
    std::uint8_t value;
  } kBentReplies[] = {{"answer", 6, 3},
                      {"stage", stage_at, static_cast<std::uint8_t>(Stage::kClockSet) + 1},
                      {"refusal", refusal_at, static_cast<std::uint8_t>(ClockRefusal::kOther) + 1},
                      {"clock stage without a refusal", refusal_at, 0},
                      {"refusal without the clock stage", stage_at, 0}};
  for (const auto& c : kBentReplies) {
    Bytes bent = refused;
    bent[c.at] = c.value;
    EXPECT_FALSE(DecodeServiceReply(bent)) << c.what;
  }
  for (std::size_t n = 0; n < refused.size(); ++n) EXPECT_FALSE(DecodeServiceReply(Bytes(refused.begin(), refused.begin() + n))) << n;
  Bytes big = refused;
  big.resize(kMaxServiceReply + 1);
  EXPECT_FALSE(DecodeServiceReply(Reframed(big)));
}

TEST(ServiceWire, TheServiceRunsOnlyAWellFormedRequestAndNeverAsksItself) {
  static std::vector<Request> asked;
  asked.clear();
  const ServiceAdjustFn adjust = [](const Request& r) {
    asked.push_back(r);
    return Res(Stage::kOk, ClockRefusal::kNone, 0, "t");
  };
  const std::optional<ServiceReply> garbage = DecodeServiceReply(AnswerServiceRequest(Bytes{1, 2, 3}, adjust));
  ASSERT_TRUE(garbage);
  EXPECT_EQ(garbage->answer, ServiceAnswer::kRefused);
  EXPECT_TRUE(asked.empty());

  const std::optional<ServiceReply> done =
      DecodeServiceReply(AnswerServiceRequest(EncodeServiceRequest(Req(kDaytime, "h.example", 9, false, 5)), adjust));
  ASSERT_TRUE(done);
  EXPECT_EQ(done->answer, ServiceAnswer::kResult);
  EXPECT_EQ(done->result.server_time, "t");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].protocol, kDaytime);
  EXPECT_EQ(asked[0].server, "h.example");
  EXPECT_EQ(asked[0].timeout, 9);
  EXPECT_FALSE(asked[0].reference_check);
  EXPECT_EQ(asked[0].reference_hours, 5);
  EXPECT_FALSE(asked[0].may_ask_time_service);
  EXPECT_FALSE(asked[0].beep);
  EXPECT_EQ(asked[0].sntp_detail_log, "");
}

}  // namespace
}  // namespace qv::engine
