// The main dialog with the real engine behind the query runner, against
// qv-timeserver on loopback (what the end-to-end tests under Wine cannot
// arrange: a log that cannot be opened).
#include <filesystem>

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

}  // namespace
}  // namespace qv::main::test
