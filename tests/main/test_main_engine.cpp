// The main dialog with the real engine behind the query runner, against
// qv-timeserver on loopback (what the end-to-end tests under Wine cannot
// arrange: a log that cannot be opened).
#include <filesystem>
#include <fstream>

#include "main_fixture.h"
#include "runner/query_runner.h"
#include "support/timeserver_fixture.h"

namespace qv::main::test {
namespace {

class RealEngineTest : public MainTest {
 protected:
  void SetUp() override {
    MainTest::SetUp();
    real_engine_ = true;
    ASSERT_TRUE(server_.Ready()) << server_.Problem();
  }
  void TearDown() override {
    EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(10)));
    MainTest::TearDown();
  }
  // The main dialog alone again: the runner has closed.
  static bool Back(HeadlessHost& h) { return h.ModalDepth() == 1 && !runner::WorkerSlotBusy(); }
  std::string LogPath() const { return ProfilePath().substr(0, ProfilePath().size() - 3) + "log"; }

  qv::test::TimeServer server_{qv::test::servers::main_time};
};

TEST_F(RealEngineTest, LogThatCannotOpenIsReportedAndTheResultStillShows) {
  std::filesystem::create_directories(FsPath(LogPath()));  // a folder where the log would be
  WriteProfile("DefaultServer=" + server_.Address() + "\nprotocol=time\nlogfile=1\n");
  Click(kIdCheck);
  Await(Back, [&](HeadlessHost& h) {
    EXPECT_EQ(W().Text(kIdServerTime).size(), 24u) << W().Text(kIdServerTime);
    h.Click(ui::kIdOk);
  });
  Run();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Can not open the logfile"});
}

// A refusal the system's setup decides tells, once per run, how to allow
// setting the clock: right after an Adjust the user pressed; after one
// nobody watched (at start-up), when the user next presses a button.
TEST_F(RealEngineTest, RefusedAdjustmentTellsOnceHowToAllowIt) {
  using R = platform::ClockRefusal;
  const struct Row {
    const char* what;
    bool at_start;
    R refusal;
    const char* hint;  // nullptr: no hint
  } rows[] = {
      {"Adjust pressed, no right", false, R::kNoRight, "sudo setcap cap_sys_time+ep"},
      {"Adjust pressed, another service", false, R::kOtherTimeService, "timedatectl set-ntp false"},
      {"Adjust pressed, an impossible time", false, R::kImpossibleTime, nullptr},
      {"at start-up, no helper", true, R::kHelperMissing, "sudo setcap cap_sys_time+ep"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    clock_.SetRefusal(row.refusal);
    WriteProfile("DefaultServer=" + server_.Address() + "\nprotocol=time\n" + (row.at_start ? "AutoAdjust=1\n" : ""));
    notices_.clear();
    const std::size_t before = host_.message_boxes().size();
    const auto boxes = [&] { return host_.message_boxes().size() - before; };
    // The n-th adjustment's three-second notice has come and gone.
    const auto after_notice = [&](std::size_t n, std::function<void(HeadlessHost&)> then) {
      Await([&, n](HeadlessHost&) { return notices_.size() == n; },
            [&, then](HeadlessHost& h) {
              h.Advance(3000);
              Then(then);
            });
    };
    const std::size_t shown = row.hint ? 1 : 0;
    const auto adjust_again = [&](HeadlessHost&) {
      EXPECT_EQ(boxes(), shown);
      Click(kIdAdjust);
      after_notice(2, [&](HeadlessHost& h) {
        EXPECT_EQ(W().Text(kIdServerTime), "ERROR (localtime-set)");
        EXPECT_EQ(boxes(), shown) << "a second refusal tells no more";
        h.Click(ui::kIdOk);
      });
    };
    if (row.at_start) {
      after_notice(1, [&](HeadlessHost&) {
        EXPECT_EQ(boxes(), 0u) << "nobody watched: the hint waits";
        Click(kIdCheck);
        Await(Back, adjust_again);
      });
    } else {
      Click(kIdAdjust);
      after_notice(1, adjust_again);
    }
    Run();
    ASSERT_EQ(boxes(), shown);
    if (row.hint) {
      const std::string text = host_.message_boxes().back().text;
      EXPECT_NE(text.find(platform::ClockRefusalText(row.refusal)), std::string::npos) << text;
      EXPECT_NE(text.find(row.hint), std::string::npos) << text;
    }
  }
}

// The rules beyond one server, end to end: what the server lines show and
// what the result log keeps.
TEST_F(RealEngineTest, FallbackAgreementAndGuardShowAndLog) {
  qv::test::TimeServer ahead(qv::test::servers::main_ahead), near(qv::test::servers::main_near);
  ASSERT_SERVER(ahead);
  ASSERT_SERVER(near);
  const std::string time = server_.Address(), nobody = qv::test::kNobody;
  clock_.SetUtcFileTime(platform::RealClock().UtcFileTime());  // honest servers measure about 0 s
  struct Row {
    const char* what;
    std::string first, list, options;
    std::string name_line, server_line;  // server_line: a prefix
    std::vector<std::string> log;        // each line from its server name on, a prefix
  } rows[] = {
      {"a down default falls back", nobody, nobody + "\n" + time, "Fallback=1", time, "",
       {nobody + ",    SNTP, adjust, ERROR (Recv):10054", time + ",    SNTP, adjust, OK, "}},
      {"a falseticker outvoted", time, ahead.Address() + "\n" + near.Address(), "Agreement=1", time, "",
       {ahead.Address() + ",    SNTP,  check, ERROR (Agreement):disagrees by +3", near.Address() + ",    SNTP,  check, OK, ",
        time + ",    SNTP, adjust, OK, "}},
      {"an unattended step refused", ahead.Address(), "", "OffsetGuard=1", ahead.Address(), "ERROR (OffsetGuard)",
       {ahead.Address() + ",    SNTP, adjust, ERROR (OffsetGuard):step of +3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove(FsPath(LogPath()));
    WriteProfile("DefaultServer=" + row.first + "\nprotocol=SNTP\nlogfile=1\nAutoAdjust=1\nTimeOut=1\n[Servers]\n" +
                 row.list + "\n[Options]\n" + row.options + "\n");
    notices_.clear();
    Await([&](HeadlessHost&) { return notices_.size() == 1; },
          [&](HeadlessHost& h) {
            h.Advance(3000);
            Then([&](HeadlessHost& h2) {
              EXPECT_EQ(W().Text(kIdServerName), row.name_line);
              EXPECT_EQ(W().Text(kIdServerTime).rfind(row.server_line, 0), 0u) << W().Text(kIdServerTime);
              h2.Click(ui::kIdOk);
            });
          });
    Run();
    std::ifstream in(FsPath(LogPath()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find(", ") + 2));
    ASSERT_EQ(lines.size(), row.log.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(row.log[i], 0), 0u) << lines[i];
  }
}

}  // namespace
}  // namespace qv::main::test
