// Quorvel.exe end to end under Wine: started with a profile, found and
// driven from this process. QuorvelAdjust.* sets the clock and runs only
// where that provably cannot reach this machine's clock
// (tests/win/quorvel-unprivileged).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "main/main_dialog.h"
#include "quorvel_e2e.h"
#include "support/timeserver_fixture.h"
#include "platform/clock.h"

namespace qv::e2e {
namespace {

using namespace main;

const std::string kQuorvel = BuiltProgram("Quorvel.exe", QV_QUORVEL_EXE);
// Where the ctest fixtures' time servers serve (their pidfiles say).
const std::string kPlain = qv::test::TimeServer(qv::test::servers::main_win_plain).Address();
const std::string kTwoOff = qv::test::TimeServer(qv::test::servers::main_win_ahead).Address();  // 2 s ahead

std::string Profile(const std::string& lines) { return "[Property]\r\n" + lines; }

// ---------------------------------------------------------------- adjust

class QuorvelAdjust : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine's clock setter calls the host's: only a process that provably
    // cannot set the clock may adjust.
    if (!platform::ProvenUnableToSetClock()) GTEST_SKIP() << "this process might be able to set the clock";
  }
  // Adjusts once from the button; the notice's two lines.
  static std::pair<std::string, std::string> AdjustOnce(Running& q, ui::WindowId w) {
    EXPECT_TRUE(drv::ClickButton(w, kIdAdjust));
    const ui::WindowId found = drv::WaitForDialogOf(
        q.pid(), [](ui::WindowId d) { return drv::ControlOf(d, kIdNoticeFirst) != 0; }, 30000);
    if (!found) return {};
    return {drv::ControlText(found, kIdNoticeFirst), drv::ControlText(found, kIdNoticeSecond)};
  }
};

TEST_F(QuorvelAdjust, WithinHalfASecondSucceedsTwoSecondsOffIsRefused) {
  struct Row {
    const std::string& server;
    bool ok;
  } rows[] = {{kPlain, true}, {kTwoOff, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.server);
    QuorvelCopy copy(kQuorvel, "q", "QuorvelG", Profile("DefaultServer=" + row.server + "\r\nprotocol=SNTP\r\n"));
    Running q(copy.exe());
    const ui::WindowId w = q.MainWindow();
    ASSERT_NE(w, 0);
    const auto [first, second] = AdjustOnce(q, w);
    if (row.ok) {
      EXPECT_TRUE(IsTimeText(first)) << first;
      EXPECT_EQ(second, "<< ADJUSTED!! >>");
    } else {
      EXPECT_EQ(first, "<< ERROR!! >>");
      EXPECT_TRUE(IsTimeText(second)) << second;
    }
    const std::string line = WaitForText(w, kIdServerTime, [](const std::string& t) { return t != "connecting..."; });
    EXPECT_EQ(line == "ERROR (localtime-set)", !row.ok) << line;
    drv::ClickButton(w, ui::kIdOk);
    EXPECT_EQ(q.Ended(20000), 0);
  }
}

}  // namespace
}  // namespace qv::e2e
