// The main dialog's side of cycles over several servers: the options it
// hands the engine, the server that answered, the question before a large
// step, and a refused step that starts no retry series.
#include "main/strings.h"
#include "main_fixture.h"

namespace qv::main::test {
namespace {

constexpr const char* kServer = "Tue Jan 06 09:05:04 2026";

TEST_F(MainTest, OptionsReachTheCycleAndTheAnsweringServerShows) {
  struct Row {
    const char* sections;
    bool fallback, agreement;
    int tolerance_ms;
    std::optional<std::int64_t> guard;
    std::vector<std::string> servers;
  } rows[] = {
      // No section: every rule off, the list not even read.
      {"[Servers]\na.test\n", false, false, 500, std::nullopt, {}},
      {"[Servers]\na.test\nts.test\nb.test\n[Options]\nFallback=1\nAgreement=1\nAgreementTolerance=250\n"
       "OffsetGuard=1\nOffsetGuardSeconds=60\n",
       true, true, 250, 60, {"a.test", "ts.test", "b.test"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sections);
    WriteProfile(std::string("protocol=SNTP\n") + row.sections);
    QueryOutcome answered = Ok(kServer);
    answered.result.answered_by = "b.test";
    engine_.outcomes = {answered, Ok(kServer)};
    engine_.calls.clear();
    Click(kIdCheck);
    Then([&](HeadlessHost&) { EXPECT_EQ(W().Text(kIdServerName), "b.test"); });
    // The next query asks the default server again, and shows it.
    engine_.during = [&] { EXPECT_EQ(W().Text(kIdServerName), "ts.test"); };
    Click(kIdCheck);
    Then([&](HeadlessHost&) { EXPECT_EQ(W().Text(kIdServerName), "ts.test"); });
    Close();
    Run();
    engine_.during = nullptr;
    ASSERT_EQ(engine_.calls.size(), 2u);
    for (const EngineCall& call : engine_.calls) {
      const engine::CyclePolicy& p = call.cycle.policy;
      EXPECT_EQ(std::tie(p.fallback, p.agreement, p.tolerance_ms, p.guard_seconds),
                std::tie(row.fallback, row.agreement, row.tolerance_ms, row.guard));
      EXPECT_EQ(call.cycle.servers, row.servers);
      EXPECT_EQ(call.request.server, "ts.test");
    }
  }
}

TEST_F(MainTest, LargeStepIsPutToTheUserOnlyWhenTheyPressedAdjust) {
  struct Row {
    const char* what;
    bool at_start;  // AutoAdjust: nobody pressed anything
    int answer;
    std::vector<bool> confirmed;
  } rows[] = {
      {"pressed, OK", false, ui::kIdOkResult, {true}},
      {"pressed, Cancel", false, ui::kIdCancelResult, {false}},
      {"at start-up", true, ui::kIdOkResult, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteProfile(std::string("protocol=SNTP\n") + (row.at_start ? "AutoAdjust=1\n" : "") +
                 "[Options]\nOffsetGuard=1\nOffsetGuardSeconds=1000\n");
    engine_.step_to_confirm = 3600200000000;
    engine_.confirmed.clear();
    engine_.calls.clear();
    const std::size_t boxes = host_.message_boxes().size();
    host_.QueueAnswer(row.answer);
    if (!row.at_start) Click(kIdAdjust);
    Advance(3000);
    Close();
    Run();
    EXPECT_EQ(engine_.confirmed, row.confirmed);
    ASSERT_EQ(engine_.calls.size(), 1u);
    EXPECT_EQ(engine_.calls[0].attended, !row.at_start);
    const auto texts = MessageTexts();
    ASSERT_EQ(texts.size() - boxes, row.confirmed.size());
    if (!row.confirmed.empty()) {
      EXPECT_EQ(texts.back(), "ﾊﾟｿｺﾝの時計を +3600.200 秒動かします（上限 1000 秒）。\nこのまま調整しますか？");
    }
  }
}

// A step a rule refused ends the series at once; a server's failure retries.
TEST_F(MainTest, RefusedStepStartsNoRetrySeries) {
  for (bool refused : {true, false}) {
    SCOPED_TRACE(refused ? "refused" : "failed");
    WriteProfile("ErrorRetry=1,3,10,0\n");
    QueryOutcome o = Failed("ERROR (OffsetGuard)", "step of +3600.200 s beyond the limit of 1000 s");
    o.retry_worthy = !refused;
    engine_.outcomes = {o};
    engine_.calls.clear();
    retry_texts_.clear();
    Click(kIdAdjust);
    Advance(20000);
    Close();
    Run();
    EXPECT_EQ(engine_.calls.size(), refused ? 1u : 2u);
    EXPECT_EQ(retry_texts_.back(), refused ? "3回" : "1/3");
  }
}

}  // namespace
}  // namespace qv::main::test
