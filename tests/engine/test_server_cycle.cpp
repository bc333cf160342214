// Cycles over several servers on loopback: the fallback order, agreement
// with a falseticker, and the guard on a large step. The fake clock reads
// this machine's time at the start, so honest servers measure about 0 s.
#include "engine/server_cycle.h"

#include <gtest/gtest.h>

#include "engine/ntp.h"
#include "engine/time_text.h"
#include "support/fake_clock.h"
#include "support/loopback_query_test.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using test::TimeServer;
namespace servers = test::servers;

class ServerCycleTest : public test::LoopbackQueryTest {
 protected:
  void SetUp() override {
    LoopbackQueryTest::SetUp();
    for (const TimeServer* s : {&good1_, &good2_, &false_, &silent_, &wrong_}) ASSERT_SERVER(*s);
    SetClock(platform::RealClock().UtcFileTime());
  }
  // UTC, and the OS zone's reading in the zone server texts are shown in.
  void SetClock(std::int64_t utc_ticks) {
    clock_.SetUtcFileTime(utc_ticks);
    MicroTime jst = MicroTimeFromFileTime(utc_ticks);
    jst.seconds += 9 * 3600;
    platform::SystemTime local;
    ASSERT_TRUE(MicroTimeToSystemTime(jst, local));
    clock_.SetLocalReading(local);
  }

  CycleRequest Cycle(const std::string& first, std::vector<std::string> list, CyclePolicy policy,
                     int protocol = kSntp) {
    return {RequestFor(first, protocol, 1), std::move(list), policy};
  }
  // The whole seconds of the first signed number after `after` in `text`
  // (an hour's step, less what real time ran on meanwhile).
  static int WholeSeconds(const std::string& text, const std::string& after) {
    const std::size_t at = text.find(after);
    return at == std::string::npos ? 0 : std::stoi(text.substr(at + after.size()));
  }
  // "server stage" for each other server asked, in order.
  static std::vector<std::string> Others(const CycleOutcome& o) {
    std::vector<std::string> lines;
    for (const ServerAttempt& a : o.others) lines.push_back(a.request.server + " " + a.result.status);
    return lines;
  }

  test::FakeClock clock_;
  TimeServer good1_{servers::cy_good1}, good2_{servers::cy_good2}, false_{servers::cy_false},
      silent_{servers::cy_silent}, wrong_{servers::cy_wrong};
  const std::string nobody_ = test::kNobody;
};

TEST_F(ServerCycleTest, FallbackAsksTheListInOrderUntilOneAnswers) {
  const std::string g1 = good1_.Address(), g2 = good2_.Address(), si = silent_.Address(), wr = wrong_.Address();
  struct Row {
    const char* what;
    bool fallback;
    std::string first;
    std::vector<std::string> list;
    std::string shown_by, shown_status;
    std::vector<std::string> others;
  } rows[] = {
      {"the default answers", true, g1, {g2}, g1, "OK", {}},
      {"in the list's order, the default not twice", true, si, {si, wr, g2, g1}, g2, "OK",
       {si + " ERROR (TimeOut)", wr + " ERROR (SNTP:IncorrectPacket)"}},
      {"all down: the last failure shows", true, nobody_, {si, wr}, wr, "ERROR (SNTP:IncorrectPacket)",
       {nobody_ + " ERROR (Recv)", si + " ERROR (TimeOut)"}},
      {"off: the default alone", false, nobody_, {g1}, "", "ERROR (Recv)", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CyclePolicy policy;
    policy.fallback = row.fallback;
    for (bool adjust : {false, true}) {
      const CycleRequest cycle = Cycle(row.first, row.list, policy);
      const CycleOutcome o = adjust ? AdjustCycle(cycle, {}) : CheckCycle(cycle);
      EXPECT_EQ(o.shown.result.answered_by, row.shown_by);
      EXPECT_EQ(o.shown.result.status, row.shown_status);
      EXPECT_EQ(o.shown.result.mode, adjust ? Mode::kAdjust : Mode::kCheck);
      EXPECT_EQ(Others(o), row.others);
      EXPECT_TRUE(o.retry_worthy);
    }
  }
  EXPECT_EQ(clock_.utc_sets().size(), 2u) << "one set per adjustment that found an answer";
}

TEST_F(ServerCycleTest, AgreementSetsOnlyWithAMajority) {
  const std::string g1 = good1_.Address(), g2 = good2_.Address(), fa = false_.Address(), wr = wrong_.Address();
  struct Row {
    const char* what;
    bool fallback;
    std::string first;
    std::vector<std::string> list;
    std::string status, detail_or_by;  // failures: the detail; else the server that set
    std::vector<std::string> others;
    bool retry_worthy = true;
  } rows[] = {
      {"one server", false, g1, {}, "ERROR (Agreement)", "one server to ask; agreement needs two", {g1 + " OK"}},
      {"two agree", false, g1, {g2, fa}, "OK", g1, {g2 + " OK"}},
      {"two disagree, no third", false, g1, {fa}, "ERROR (Agreement)", "no majority of 2 answers within 0.500 s",
       {g1 + " OK", fa + " OK"}, false},
      {"a falseticker outvoted", false, g1, {fa, g2}, "OK", g1, {fa + " ERROR (Agreement)", g2 + " OK"}},
      {"a falseticker as default", false, fa, {g1, g2}, "OK", g1, {fa + " ERROR (Agreement)", g2 + " OK"}},
      {"one answers of three", false, g1, {nobody_, wr, g2}, "ERROR (Agreement)",
       "1 of 3 servers answered; agreement needs two",
       {g1 + " OK", nobody_ + " ERROR (Recv)", wr + " ERROR (SNTP:IncorrectPacket)"}},
      {"fallback replaces the failed", true, g1, {nobody_, fa, g2}, "OK", g1,
       {nobody_ + " ERROR (Recv)", fa + " ERROR (Agreement)", g2 + " OK"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CyclePolicy policy;
    policy.agreement = true;
    policy.fallback = row.fallback;
    const std::size_t sets = clock_.utc_sets().size();
    const CycleOutcome o = AdjustCycle(Cycle(row.first, row.list, policy), {});
    EXPECT_EQ(o.shown.result.status, row.status);
    EXPECT_EQ(o.shown.result.ok() ? o.shown.result.answered_by : o.shown.result.detail, row.detail_or_by);
    EXPECT_EQ(Others(o), row.others);
    EXPECT_EQ(o.retry_worthy, row.retry_worthy);
    EXPECT_EQ(clock_.utc_sets().size(), sets + o.shown.result.ok());
    for (const ServerAttempt& a : o.others) {
      if (a.request.server == fa && !a.result.ok()) {
        EXPECT_NEAR(WholeSeconds(a.result.detail, "disagrees by "), 3600, 5) << a.result.detail;
      }
    }
  }
}

TEST_F(ServerCycleTest, GuardAsksOrRefusesALargeStepAndSetsAFreshReading) {
  for (int protocol : {kSntp, kTime}) {
    struct Row {
      const char* what;
      std::string server;
      bool attended, answer;
      int asked;  // times the user was asked
      const char* status;
    } rows[] = {
        {"a small step needs nobody", good1_.Address(), true, false, 0, "OK"},
        {"unattended: refused", false_.Address(), false, false, 0, "ERROR (OffsetGuard)"},
        {"attended, declined", false_.Address(), true, false, 1, "ERROR (OffsetGuard)"},
        {"attended, confirmed", false_.Address(), true, true, 1, "OK"},
    };
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.what) + (protocol == kSntp ? " by SNTP" : " by TIME"));
      CyclePolicy policy;
      policy.guard_seconds = 1000;
      const std::int64_t start = clock_.UtcFileTime();
      int asked = 0;
      // The user takes 30 s to answer: the set must not be 30 s stale.
      const ConfirmStep confirm = [&](std::int64_t offset_ns) {
        ++asked;
        EXPECT_GT(offset_ns, 3599 * 1000000000LL);
        SetClock(start + 30 * platform::kFileTicksPerSecond);
        return row.answer;
      };
      const std::size_t sets = clock_.utc_sets().size() + clock_.local_sets().size();
      const CycleOutcome o = AdjustCycle(Cycle(row.server, {}, policy, protocol), row.attended ? confirm : nullptr);
      EXPECT_EQ(asked, row.asked);
      EXPECT_EQ(o.shown.result.status, row.status);
      EXPECT_EQ(o.retry_worthy, o.shown.result.ok());
      EXPECT_EQ(clock_.utc_sets().size() + clock_.local_sets().size(), sets + o.shown.result.ok());
      if (!o.shown.result.ok()) {
        EXPECT_NEAR(WholeSeconds(o.shown.result.detail, "step of "), 3600, 5) << o.shown.result.detail;
      }
      if (row.answer && protocol == kSntp) {
        // The measured offset on the reading after the answer.
        platform::SystemTime want;
        ASSERT_TRUE(MicroTimeToSystemTime(
            *AddOffset(MicroTimeFromFileTime(start + 30 * platform::kFileTicksPerSecond), *o.shown.result.offset_ns),
            want));
        EXPECT_EQ(clock_.utc_sets().back(), want);
      } else if (row.answer) {
        // TIME: the server's text, 30 s on, at its whole second.
        const platform::SystemTime set = clock_.local_sets().back();
        EXPECT_EQ(set.second, (ParseTimeText(o.shown.result.server_time)->second + 30) % 60);
        EXPECT_EQ(set.milliseconds, 0);
      }
      SetClock(start);
    }
  }
}

}  // namespace
}  // namespace qv::engine
