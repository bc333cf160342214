// The main dialog's side of cycles over several servers: the question
// before a large step, and a refused step that starts no retry series (the
// options and the answering server end to end: test_main_engine.cpp).
#include "main/strings.h"
#include "main_fixture.h"

namespace qv::main::test {
namespace {

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
    EXPECT_EQ(engine_.calls[0].cycle.policy.guard_seconds, 1000);
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
