// The operations the programs call, over a stand-in runner that hands back
// chosen replies: the Result each builds (stage, status, detail, texts,
// offset), the beep, and what reaches the (fake) clock.
#include "engine/operations.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/run_query.h"
#include "engine/service_wire.h"
#include "platform/time_service.h"
#include "platform/ctime.h"
#include "sntp_replies.h"
#include "support/fake_clock.h"
#include "support/recorded_beeps.h"

namespace qv::engine {
namespace {

using platform::ClockRefusal;
using platform::SystemTime;

constexpr std::uint32_t kS = 1796556966;  // 2026-12-06 11:36:06 UTC, a Sunday
constexpr const char* kPcText = "Sun Dec 06 20:36:06 2026";
const std::vector<std::pair<unsigned, unsigned>> kNoBeep, kOneBeep{{256, 100}};

Reply Failure(Stage stage, int error) {
  Reply reply;
  reply.stage = stage;
  reply.error_code = error;
  return reply;
}

// An SNTP reply sent and received at kS (as the job's clock reads it); the
// server's clock at `server`.
Reply Sntp(MicroTime server, void (*change)(SntpPacket&) = nullptr) {
  Reply reply;
  reply.sntp = replies::GoodReply(kS, server);
  reply.arrival = {kS, 0};
  if (change) change(reply.sntp);
  return reply;
}

Reply Stream(const std::string& bytes) {
  Reply reply;
  reply.bytes.assign(bytes.begin(), bytes.end());
  return reply;
}

class OperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    clock_.SetUnixTime(kS);
    clock_.SetLocalReading({2026, 12, 0, 6, 20, 36, 6, 0});
    SetQueryRunner([this](const QueryJob& job) {
      jobs_.push_back(job);
      return job.kind == JobKind::kTimeService ? service_reply_ : reply_;
    });
  }
  void TearDown() override { SetQueryRunner(nullptr); }

  Request MakeRequest(int protocol) const {
    Request request;
    request.protocol = protocol;
    request.server = "ntp.example";
    request.timeout = 7;
    request.beep = true;
    request.reference_check = true;
    request.reference_hours = 24;
    return request;
  }

  test::FakeClock clock_;
  test::RecordedBeeps beeps_;
  Reply reply_;
  Reply service_reply_ = ServiceGone(ClockRefusal::kHelperMissing);

  static Reply ServiceGone(ClockRefusal why) {
    Reply reply = Failure(Stage::kClockSet, 0);
    reply.service_refusal = why;
    return reply;
  }
  std::vector<QueryJob> jobs_;
};

TEST_F(OperationsTest, ChecksBuildOneResultForEveryOutcome) {
  std::string two_bytes("\x83\xaa", 2);
  const struct {
    int protocol;
    Reply reply;
    Stage stage;
    const char *status, *detail, *server_time;
    std::optional<std::int64_t> offset_ns;
    bool beeps;
  } kCases[] = {
      {kSntp, Sntp({kS + 2, 0}), Stage::kOk, "OK", "", "Sun Dec 06 20:36:08 2026", 2000000000, false},
      // Transport failures: the error number is the detail, and they beep.
      {kSntp, Failure(Stage::kConnect, 10061), Stage::kConnect, "ERROR (Connect)", "10061", "", {}, true},
      {kSntp, Failure(Stage::kTimeOut, 0), Stage::kTimeOut, "ERROR (TimeOut)", "0", "", {}, true},
      {kSntp, Failure(Stage::kSntpIncorrectPacket, 0), Stage::kSntpIncorrectPacket, "ERROR (SNTP:IncorrectPacket)",
       "0", "", {}, true},
      {kSntp, Failure(Stage::kHostNotFound, 11001), Stage::kHostNotFound, "ERROR (main: no such host)", "11001", "",
       {}, true},
      // A reply judged unbelievable: the rule is the detail; no beep.
      {kSntp, Sntp({kS + 2, 0}, [](SntpPacket& p) { p.stratum = 0, p.reference_id = 0x44454E59; }),
       Stage::kSntpBadResponse, "ERROR (SNTP: Bad Response)", "stratum 0, kiss code DENY", "", {}, false},
      {kSntp, Sntp({kS + 2, 0}, [](SntpPacket& p) { p.receive.seconds += 11; }), Stage::kSntpThroughput,
       "ERROR (SNTP: Server Throughput)", "", "", {}, false},
      // TIME and DAYTIME: the error number is always the detail.
      {kTime, Stream("\xEE\xBF\xC7\x26"), Stage::kOk, "OK", "0", kPcText, {}, false},
      {kTime, Stream(two_bytes), Stage::kTimeIncorrectPacket, "ERROR (TIME:IncorrectPacket)", "0", "", {}, false},
      {kTime, Stream(""), Stage::kTimeIncorrectPacket, "ERROR (TIME:IncorrectPacket)", "0", "", {}, false},
      {kTime, Failure(Stage::kRecv, 10054), Stage::kRecv, "ERROR (Recv)", "10054", "", {}, true},
      {kDaytime, Stream("Sun Dec  6 11:36:06 2026\r\nnext\r\n"), Stage::kOk, "OK", "0", "Sun Dec  6 11:36:06 2026\r",
       {}, false},
      {kDaytime, Stream("\x1b[2JSun\x07 Dec\r\n"), Stage::kOk, "OK", "0", "?[2JSun? Dec\r", {}, false},
      {kDaytime, Stream("Sun Dec  6 11:36:06 2026"), Stage::kDaytimeIncorrectPacket,
       "ERROR (DAYTIME:IncorrectPacket)", "0", "", {}, false},
      {kDaytime, Stream(""), Stage::kDaytimeIncorrectPacket, "ERROR (DAYTIME:IncorrectPacket)", "0", "", {}, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(ProtocolWord(c.protocol)) + " " + c.status + " " + c.detail);
    reply_ = c.reply;
    Request request = MakeRequest(c.protocol);
    request.host_not_found = "main: no such host";
    const Result result = Check(request);
    EXPECT_EQ(result.mode, Mode::kCheck);
    EXPECT_EQ(result.stage, c.stage);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.detail, c.detail);
    EXPECT_EQ(result.server_time, c.server_time);
    EXPECT_EQ(result.pc_time, kPcText);  // after the query, whatever its outcome
    EXPECT_EQ(result.offset_ns, c.offset_ns);
    EXPECT_EQ(beeps_.Take(), c.beeps ? kOneBeep : kNoBeep);
    ASSERT_FALSE(jobs_.empty());
    EXPECT_EQ(jobs_.back().protocol, c.protocol);
    EXPECT_EQ(jobs_.back().timeout, 7);
    EXPECT_EQ(jobs_.back().server, "ntp.example");
  }
  EXPECT_TRUE(clock_.utc_sets().empty());
  EXPECT_TRUE(clock_.local_sets().empty());
}

TEST_F(OperationsTest, NoBeepUnlessAskedNoRunnerAndTheDetailLogOutcome) {
  reply_ = Failure(Stage::kTimeOut, 0);
  Request request = MakeRequest(kTime);
  request.beep = false;
  EXPECT_EQ(Check(request).status, "ERROR (TimeOut)");
  EXPECT_EQ(beeps_.Take(), kNoBeep);

  // The detail log's outcome travels from the worker to the caller, whose
  // thread reports it; the log's path comes with the request.
  reply_ = Sntp({kS, 0});
  reply_.detail_log = LogWrite::kOpenFailed;
  request = MakeRequest(kSntp);
  request.sntp_detail_log = "/somewhere/Quorvel.sntp.log";
  EXPECT_EQ(Check(request).detail_log, LogWrite::kOpenFailed);
  EXPECT_EQ(jobs_.back().sntp_detail_log, "/somewhere/Quorvel.sntp.log");
  EXPECT_TRUE(jobs_.back().record_arrival);

  SetQueryRunner(nullptr);
  const Result none = Check(request);
  EXPECT_EQ(none.status, "ERROR (NoRunner)");
  EXPECT_EQ(beeps_.Take(), kOneBeep);
}

TEST_F(OperationsTest, SntpAdjustSetsAFreshReadingPlusTheOffsetInUtcOrNothing) {
  const struct {
    MicroTime server;
    std::int64_t reading, reading_micros;  // taken after the query
    bool refuse;
    std::optional<SystemTime> set;  // none: "ERROR (localtime-set)"
    const char* new_time;           // in the C runtime's zone
  } kCases[] = {
      {{kS - 1, 500000}, kS, 0, false, SystemTime{2026, 12, 0, 6, 11, 36, 5, 500}, "Sun Dec 06 20:36:05 2026"},
      {{kS + 2, 0}, kS, 250000, false, SystemTime{2026, 12, 0, 6, 11, 36, 8, 250}, "Sun Dec 06 20:36:08 2026"},
      {{kS + 2, 0}, kS, 0, true, {}, ""},                   // the system refuses
      {{0xFFFFFFFFu - 5, 0}, kS + 10, 0, false, {}, ""},    // the new time lies past 2106
      {{5, 0}, kS - 10, 0, false, {}, ""},                  // or before 1970: the clock is not asked
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.server.seconds);
    reply_ = Sntp(c.server);
    clock_.SetUnixTime(c.reading, c.reading_micros);
    clock_.SetRefuse(c.refuse);
    const std::size_t sets = clock_.utc_sets().size();
    Request request = MakeRequest(kSntp);
    request.reference_check = false;  // the reference 60 s before 5 s after 1970 lies in 2106
    const Result result = Adjust(request);
    EXPECT_EQ(result.mode, Mode::kAdjust);
    EXPECT_EQ(result.status, c.set ? "OK" : "ERROR (localtime-set)");
    EXPECT_EQ(result.detail, "");
    // Where the system has a time service, the refusal went to it (none
    // installed here).
    const ClockRefusal no_right = platform::HasTimeService() ? ClockRefusal::kHelperMissing : ClockRefusal::kNoRight;
    EXPECT_EQ(result.refusal, c.set ? ClockRefusal::kNone : c.refuse ? no_right : ClockRefusal::kImpossibleTime);
    EXPECT_EQ(result.server_time, c.new_time);
    EXPECT_EQ(result.pc_time, kPcText);
    EXPECT_TRUE(result.offset_ns.has_value());  // measured, set or not
    ASSERT_EQ(clock_.utc_sets().size(), sets + (c.set ? 1 : 0));
    if (c.set) {
      EXPECT_EQ(clock_.utc_sets().back(), *c.set);
    }
  }
  EXPECT_EQ(clock_.refused_calls(), 1);
  // A failed query or an unbelievable reply never reaches the clock.
  clock_.SetRefuse(false);
  for (const Reply& reply :
       {Failure(Stage::kTimeOut, 0), Sntp({0, 0}, [](SntpPacket& p) { p = replies::OnlyTheEcho(p); })}) {
    reply_ = reply;
    EXPECT_FALSE(Adjust(MakeRequest(kSntp)).ok());
  }
  EXPECT_EQ(clock_.utc_sets().size(), 2u);
  EXPECT_EQ(clock_.refused_calls(), 1);
}

// Refused for want of the right, an adjustment goes to the time service
// where the system has one (Windows), whose own adjustment stands as the
// Result; elsewhere, and for any other refusal, the refusal stands.
TEST_F(OperationsTest, ARefusalForWantOfTheRightGoesToTheTimeServiceWhereThereIsOne) {
  auto answered = [](ServiceAnswer answer, Stage stage, ClockRefusal refusal) {
    Result there;
    there.stage = stage;
    there.refusal = refusal;
    there.server_time = stage == Stage::kOk ? "Sun Dec 06 20:36:09 2026" : "";
    there.offset_ns = 3000000000;
    Reply reply;
    reply.bytes = EncodeServiceReply({answer, there});
    return reply;
  };
  const ClockRefusal kNone = ClockRefusal::kNone, kNoRight = ClockRefusal::kNoRight;
  const struct {
    const char* what;
    ClockRefusal here;
    bool may_ask;
    Reply service;
    Stage stage;
    const char* status;
    ClockRefusal refusal;
    const char* set_by;
  } kCases[] = {
      {"set there", kNoRight, true, answered(ServiceAnswer::kResult, Stage::kOk, kNone), Stage::kOk, "OK", kNone,
       kTimeServiceName},
      {"refused there", kNoRight, true, answered(ServiceAnswer::kResult, Stage::kClockSet, kNoRight), Stage::kClockSet,
       "ERROR (localtime-set)", kNoRight, ""},
      {"busy", kNoRight, true, answered(ServiceAnswer::kBusy, Stage::kOk, kNone), Stage::kThread, kBusyStatus, kNone,
       ""},
      {"request refused", kNoRight, true, answered(ServiceAnswer::kRefused, Stage::kOk, kNone), Stage::kClockSet,
       "ERROR (localtime-set)", ClockRefusal::kHelperNotAnswering, ""},
      {"garbage", kNoRight, true, Stream("garbage"), Stage::kClockSet, "ERROR (localtime-set)",
       ClockRefusal::kHelperNotAnswering, ""},
      {"runner timed out", kNoRight, true, Failure(Stage::kTimeOut, 0), Stage::kClockSet, "ERROR (localtime-set)",
       ClockRefusal::kHelperNotAnswering, ""},
      {"not installed", kNoRight, true, ServiceGone(ClockRefusal::kHelperMissing), Stage::kClockSet,
       "ERROR (localtime-set)", ClockRefusal::kHelperMissing, ""},
      {"cancelled", kNoRight, true, Failure(Stage::kUserCancelled, 0), Stage::kUserCancelled,
       "ERROR (UserCancelled)", kNone, ""},
      // Never asked: another reason, or the service itself adjusting.
      {"other reason", ClockRefusal::kOther, false, {}, Stage::kClockSet, "ERROR (localtime-set)", ClockRefusal::kOther,
       ""},
      {"may not ask", kNoRight, false, {}, Stage::kClockSet, "ERROR (localtime-set)", kNoRight, ""},
  };
  reply_ = Sntp({kS + 2, 0});
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    clock_.SetRefusal(c.here);
    service_reply_ = c.service;
    jobs_.clear();
    Request request = MakeRequest(kSntp);
    request.may_ask_time_service = c.may_ask || c.here != kNoRight;
    const Result result = Adjust(request);
    EXPECT_EQ(result.mode, Mode::kAdjust);
    const bool asked = platform::HasTimeService() && c.here == kNoRight && c.may_ask;
    if (!asked) {
      EXPECT_EQ(jobs_.size(), 1u);
      EXPECT_EQ(result.refusal, c.here);
      EXPECT_EQ(result.status, "ERROR (localtime-set)");
      continue;
    }
    ASSERT_EQ(jobs_.size(), 2u);
    EXPECT_EQ(jobs_[1].kind, JobKind::kTimeService);
    EXPECT_EQ(jobs_[1].server, "ntp.example");
    EXPECT_EQ(jobs_[1].timeout, 7 + kTimeServiceGraceSeconds);
    EXPECT_EQ(DecodeServiceRequest(jobs_[1].service_request), ServiceRequestFor(request));
    EXPECT_EQ(result.stage, c.stage);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.refusal, c.refusal);
    EXPECT_EQ(result.set_by, c.set_by);
    if (result.ok()) {
      EXPECT_EQ(result.server_time, "Sun Dec 06 20:36:09 2026");
      EXPECT_EQ(result.offset_ns, 3000000000);
    }
  }
  EXPECT_TRUE(clock_.utc_sets().empty());
}

// The service's own query is not authenticated: an adjustment asked with
// NTS keeps its refusal rather than take an unauthenticated time.
TEST_F(OperationsTest, AnAuthenticatedAdjustmentNeverFallsBackToTheTimeService) {
  reply_ = Sntp({kS + 2, 0});
  service_reply_ = Stream("never asked");
  clock_.SetRefusal(ClockRefusal::kNoRight);
  Request request = MakeRequest(kSntp);
  request.nts = true;
  const Result result = Adjust(request);
  ASSERT_EQ(jobs_.size(), 1u);
  EXPECT_TRUE(jobs_[0].nts);
  EXPECT_EQ(result.refusal, ClockRefusal::kNoRight);
  EXPECT_EQ(result.status, "ERROR (localtime-set)");
}

TEST_F(OperationsTest, TimeAndDaytimeSetTheServerTextAsLocalTimeOrNothing) {
  const struct {
    int protocol;
    std::string answer, server_time;
    std::optional<SystemTime> set;  // none: "ERROR (localtime-set)", the clock never asked
  } kCases[] = {
      {kTime, "\xEE\xBF\xC7\x26", kPcText, SystemTime{2026, 12, 0, 6, 20, 36, 6, 0}},  // the text's wall clock
      {kDaytime, "Sun Dec  6 11:36:06 2026\r\n", "Sun Dec  6 11:36:06 2026\r", SystemTime{2026, 12, 0, 6, 11, 36, 6}},
      {kDaytime, "06 DEC 2026 18:22:47 UTC\r\n", "06 DEC 2026 18:22:47 UTC\r", {}},  // another shape
      {kDaytime, "Sun Dec  6 22:xx:12 2026\r\n", "Sun Dec  6 22:xx:12 2026\r", {}},  // a field half read
      {kDaytime, "Sun Feb 31 11:36:06 2026\r\n", "Sun Feb 31 11:36:06 2026\r", {}},
      {kDaytime, "Sun Dec  6 11:36:06 2026\x1b[2J\r\n", "Sun Dec  6 11:36:06 2026?[2J\r", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.answer);
    reply_ = Stream(c.answer);
    const std::size_t sets = clock_.local_sets().size();
    const Result result = Adjust(MakeRequest(c.protocol));
    EXPECT_EQ(result.status, c.set ? "OK" : "ERROR (localtime-set)");
    EXPECT_EQ(result.detail, "0");
    EXPECT_EQ(result.refusal, c.set ? ClockRefusal::kNone : ClockRefusal::kImpossibleTime);
    EXPECT_EQ(result.server_time, c.server_time);
    EXPECT_EQ(result.pc_time, kPcText);
    EXPECT_FALSE(jobs_.back().record_arrival);
    ASSERT_EQ(clock_.local_sets().size(), sets + (c.set ? 1 : 0));
    if (c.set) {
      EXPECT_EQ(clock_.local_sets().back(), *c.set);
    }
  }
  EXPECT_EQ(clock_.refused_calls(), 0);  // what does not read as a time is refused before the clock
  EXPECT_TRUE(clock_.utc_sets().empty());
}

}  // namespace
}  // namespace qv::engine
