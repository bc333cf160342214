// The query runner as a real Windows dialog: the user's Cancel button, the
// countdown running out, and the worker's done message crossing threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "engine/query_job.h"
#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "runner/query_runner.h"
#include "settings/strings.h"
#include "win_test_support.h"

namespace qv::wintest {
namespace {

namespace drv = ui::driver;
using engine::QueryJob;
using runner::QueryRunnerDialog;
using runner::Variant;

// A query that hangs until the runner abandons it, as a silent server does.
engine::Reply BlockUntilCancelled(const QueryJob& job) {
  while (!job.cancel->Fired()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  engine::Reply late;
  late.error_code = 99;
  return late;
}

class RunnerWinTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ui::SetStringTable(&main::Strings());
  }
  void TearDown() override {
    EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(10)));
    EXPECT_FALSE(runner::WorkerSlotBusy());
    ui::SetStringTable(nullptr);
    HostTest::TearDown();
  }
  int Run(Variant variant, runner::QueryFn fn, int timeout) {
    job_ = QueryJob{};
    job_.protocol = kSntp;
    job_.server = "127.0.0.61";  // shown, never asked
    job_.timeout = timeout;
    QueryRunnerDialog dialog(variant, std::move(fn));
    const int modal = dialog.Run(job_);
    reply_ = dialog.reply();
    return modal;
  }
  // The runner's window: captioned by string 131, showing the server.
  static ui::WindowId WaitForRunner(const std::string& caption) {
    return drv::WaitForDialog(
        [&](ui::WindowId w) {
          return drv::TextOf(w) == caption && drv::ControlText(w, runner::kIdServerText) == "127.0.0.61";
        },
        5000);
  }

  QueryJob job_;
  engine::Reply reply_;
};

// The user's Cancel button, or nobody pressing anything until the countdown
// runs out.
TEST_F(RunnerWinTest, CancelButtonAndCountdownEndTheQuery) {
  Watchdog dog(std::chrono::seconds(60));
  for (const bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "Cancel" : "countdown");
    const int timeout = cancel ? 30 : 1;
    std::string first_count;
    Driver driver([&] {
      const ui::WindowId w = WaitForRunner("Quorvel");
      ASSERT_NE(w, 0);
      first_count = drv::ControlText(w, runner::kIdCountdown);
      EXPECT_EQ(drv::ControlText(w, ui::kIdCancel), "ｷｬﾝｾﾙ");
      for (int id : {runner::kIdSuspend, runner::kIdResume, runner::kIdTerminate}) {
        ASSERT_NE(drv::ControlOf(w, id), 0) << id;
        EXPECT_FALSE(drv::IsEnabled(drv::ControlOf(w, id))) << id;
      }
      if (cancel) drv::ClickButton(w, ui::kIdCancel);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(Variant::kMain, BlockUntilCancelled, timeout), cancel ? 2 : 1);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(cancel ? 0 : 900)) << "one tick of 1000 ms";
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(first_count, std::to_string(timeout));
    EXPECT_EQ(reply_.stage, cancel ? engine::Stage::kUserCancelled : engine::Stage::kTimeOut);
    EXPECT_EQ(reply_.error_code, 0);
  }
}

TEST_F(RunnerWinTest, SettingsVariantEndsOnTheWorkersDoneMessage) {
  Watchdog dog(std::chrono::seconds(30));
  ui::SetStringTable(&settings::Strings());
  std::atomic<bool> seen{false};
  Driver driver([&] {
    const ui::WindowId w = WaitForRunner("Quorvel  <Setting>");
    ASSERT_NE(w, 0);
    for (int id : {runner::kIdSuspend, runner::kIdResume, runner::kIdTerminate})
      EXPECT_EQ(drv::ControlOf(w, id), 0) << id;
    seen = true;
  });
  std::thread::id worker_thread;
  const int modal = Run(
      Variant::kSettings,
      [&](const QueryJob&) {
        worker_thread = std::this_thread::get_id();
        WaitUntil([&] { return seen.load(); });
        engine::Reply reply;
        reply.bytes = {42};
        return reply;
      },
      5);
  EXPECT_EQ(modal, 1);
  EXPECT_TRUE(seen);
  EXPECT_EQ(reply_.stage, engine::Stage::kOk);
  EXPECT_EQ(reply_.bytes, std::vector<std::uint8_t>{42});
  EXPECT_NE(worker_thread, std::this_thread::get_id());
}

}  // namespace
}  // namespace qv::wintest
