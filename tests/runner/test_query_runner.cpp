// The query runner on the headless host with a manual clock: every ending
// (done, time-out, Cancel), late results after an ending, and a second runner
// while the slot is busy.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "ui/headless/headless_host.h"
#include "platform/process.h"
#include "runner/query_runner.h"

namespace qv::runner {
namespace {

using engine::QueryJob;
using ui::HeadlessHost;

// A gate a test opens to let a fake worker go on.
struct Gate {
  std::atomic<bool> open{false};
  void Wait() const {
    while (!open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

// A query that hangs until the runner abandons it, as a silent server does.
int BlockUntilCancelled(QueryJob& job) {
  while (!job.cancel->Fired()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 1;
}

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetHost(&host_);
    ui::SetStringTable(&main::Strings());
    host_.SetStallLimit(std::chrono::seconds(10));
    host_.on_text = [this](ui::WindowId, int control, const std::string& text) {
      if (control == kIdCountdown) countdown_.push_back(text);
    };
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(10)));
    EXPECT_FALSE(WorkerSlotBusy());
    EXPECT_FALSE(host_.stalled());
    ui::SetHost(nullptr);
  }

  // Runs the runner for a job with the given timeout; the caller's outputs
  // land in the members.
  int Run(QueryFn fn, int timeout) {
    job_ = QueryJob{};
    job_.protocol = engine::kTime;
    job_.server = QV_LOOPBACK_NET ".200";
    job_.timeout = timeout;
    job_.reply = reply_;
    job_.reply_size = 4;
    job_.status = &status_;
    job_.error_code = &error_;
    job_.receive_time = &received_;
    countdown_.clear();
    QueryRunnerDialog dialog(Variant::kMain, std::move(fn));
    return dialog.Run(job_);
  }

  HeadlessHost host_{HeadlessHost::ClockKind::kManual};
  QueryJob job_;
  std::uint8_t reply_[4] = {0, 0, 0, 0};
  std::string status_ = "unset";
  int error_ = -1;
  engine::MicroTime received_{};
  std::vector<std::string> countdown_;
};

TEST_F(RunnerTest, DoneFirstHandsTheWorkersOutcomeToTheJob) {
  for (const bool ok : {true, false}) {
    const int modal = Run(
        [ok](QueryJob& job) {
          job.reply[0] = ok ? 0x83 : 0x84;
          *job.receive_time = {1234, ok ? 5678u : 0u};
          *job.status = ok ? "OK" : "Connect";
          *job.error_code = ok ? 0 : 10061;
          return ok ? 1 : 0;
        },
        5);
    EXPECT_EQ(modal, 1);
    EXPECT_EQ(job_.result, ok ? 1 : 0);
    EXPECT_EQ(status_, ok ? "OK" : "Connect");
    EXPECT_EQ(error_, ok ? 0 : 10061);
    EXPECT_EQ(reply_[0], ok ? 0x83 : 0x84);
    EXPECT_EQ(received_, (engine::MicroTime{1234, ok ? 5678u : 0u}));
    // The done message ended it before any tick; the timer was killed quietly.
    EXPECT_EQ(countdown_, std::vector<std::string>{"5"});
  }
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(RunnerTest, CountdownReadsDownAndTimesOutOnTheLastTick) {
  for (int i = 0; i < 3; ++i) host_.Then([](HeadlessHost& h) { h.Advance(1000); });
  EXPECT_EQ(Run(BlockUntilCancelled, 3), 1);
  EXPECT_EQ(countdown_, (std::vector<std::string>{"3", "2", "1", "0"}));
  EXPECT_EQ(host_.NowMs(), 3000);
  EXPECT_EQ(job_.result, 0);
  EXPECT_EQ(status_, "TimeOut");
  EXPECT_EQ(error_, 0);

  // Timeout 0 ends on the first tick, not before.
  host_.Then([](HeadlessHost& h) { h.Advance(999); });
  host_.Then([this](HeadlessHost& h) {
    EXPECT_EQ(countdown_.size(), 1u);
    h.Advance(1);
  });
  status_ = "unset";
  EXPECT_EQ(Run(BlockUntilCancelled, 0), 1);
  EXPECT_EQ(host_.NowMs(), 4000);
  EXPECT_EQ(status_, "TimeOut");
}

TEST_F(RunnerTest, CancelFirstEndsAtOnceAndWakesTheWorker) {
  std::atomic<bool> woken{false};
  host_.Then([](HeadlessHost& h) { EXPECT_TRUE(h.Click(ui::kIdCancel)); });
  const int modal = Run(
      [&](QueryJob& job) {
        BlockUntilCancelled(job);
        woken = true;
        return 1;
      },
      30);
  EXPECT_EQ(modal, 2);
  EXPECT_EQ(job_.result, 0);
  EXPECT_EQ(status_, "UserCancelled");
  EXPECT_EQ(error_, 0);
  EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
  EXPECT_TRUE(woken);
}

// The worker ignores the cancel signal, finishes after the runner has ended,
// writes everything it can and posts its done message: none of it may reach
// the caller, whether Cancel or the countdown ended the run.
TEST_F(RunnerTest, LateResultsAfterCancelOrTimeOutChangeNothing) {
  for (const bool cancel : {true, false}) {
    Gate gate;
    std::atomic<bool> finished{false};
    host_.Then([cancel](HeadlessHost& h) { cancel ? h.PressEsc() : h.Advance(2000); });
    const int modal = Run(
        [&](QueryJob& job) {
          gate.Wait();
          std::memset(job.reply, 0xAA, static_cast<std::size_t>(job.reply_size));
          *job.status = "OK";
          *job.error_code = 77;
          *job.receive_time = {1, 1};
          finished = true;
          return 1;
        },
        2);
    EXPECT_EQ(modal, cancel ? 2 : 1);
    const std::string ending = cancel ? "UserCancelled" : "TimeOut";
    EXPECT_EQ(status_, ending);
    EXPECT_FALSE(WorkerSlotBusy());
    EXPECT_EQ(LiveWorkers(), 1);  // still blocked after its caller returned

    gate.open = true;
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_TRUE(finished);
    EXPECT_EQ(job_.result, 0);
    EXPECT_EQ(status_, ending);
    EXPECT_EQ(error_, 0);
    EXPECT_EQ(reply_[0], 0);
    EXPECT_EQ(received_, (engine::MicroTime{}));
  }
}

// A done message already queued when Cancel is handled: either may win, but
// the outcome is whole, never a mixture.
TEST_F(RunnerTest, QueuedDoneMessageAndCancelNeverMix) {
  std::atomic<bool> posted{false};
  host_.Then([&](HeadlessHost& h) {
    while (!posted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    h.Click(ui::kIdCancel);  // runs before the queued message is dispatched
  });
  const int modal = Run(
      [&](QueryJob& job) {
        *job.status = "OK";
        posted = true;  // the post follows right after return
        return 1;
      },
      5);
  EXPECT_EQ(status_, modal == 2 ? "UserCancelled" : "OK");
  EXPECT_EQ(job_.result, modal == 2 ? 0 : 1);
}

TEST_F(RunnerTest, SecondRunnerWhileTheSlotIsBusyStartsNothing) {
  Gate gate;
  std::atomic<int> queries{0};
  auto blocked = [&](QueryJob& job) {
    ++queries;
    gate.Wait();
    *job.status = "OK";
    return 1;
  };
  host_.Then([&](HeadlessHost& h) {
    EXPECT_TRUE(WorkerSlotBusy());
    // A nested runner, as a timer of the owner window could open one.
    h.Then([&](HeadlessHost& inner) {
      EXPECT_EQ(inner.ModalDepth(), 2);
      EXPECT_EQ(inner.Active()->Text(kIdServerText), "");  // never started
      EXPECT_EQ(inner.Active()->Text(kIdCountdown), "00");
      inner.Advance(5000);  // no timer of its own: nothing ends it but Cancel
    });
    h.Then([](HeadlessHost& inner) { inner.Click(ui::kIdCancel); });
    std::string status2;
    int error2 = -1;
    QueryJob second;
    second.server = QV_LOOPBACK_NET ".201";
    second.timeout = 1;
    second.status = &status2;
    second.error_code = &error2;
    EXPECT_EQ(QueryRunnerDialog(Variant::kMain, blocked).Run(second), 2);
    EXPECT_EQ(status2, "UserCancelled");
    // The first runner's query is untouched by the second's Cancel.
    EXPECT_TRUE(WorkerSlotBusy());
    gate.open = true;
  });
  EXPECT_EQ(Run(blocked, 30), 1);
  EXPECT_EQ(status_, "OK");
  EXPECT_EQ(job_.result, 1);
  EXPECT_EQ(queries, 1);
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(RunnerTest, TimerFailureIsReportedAndTheQueryStillRuns) {
  host_.FailTimers(true);
  Gate gate;
  host_.Then([&](HeadlessHost&) { gate.open = true; });
  const int modal = Run(
      [&](QueryJob& job) {
        gate.Wait();
        *job.status = "OK";
        return 1;
      },
      3);
  EXPECT_EQ(modal, 1);
  EXPECT_EQ(status_, "OK");
  ASSERT_EQ(host_.message_boxes().size(), 2u);
  EXPECT_EQ(host_.message_boxes()[0].text, "Timer is Error.");
  EXPECT_EQ(host_.message_boxes()[1].text, "timer is not running");
  EXPECT_EQ(host_.message_boxes()[0].caption, platform::ExecutableBaseName());
}

TEST_F(RunnerTest, TerminateStopsTheQueryButKeepsTheDialogOpen) {
  host_.Then([](HeadlessHost& h) {
    // Disabled in the template, so a user cannot press it; the command can
    // still arrive.
    EXPECT_FALSE(h.Click(kIdTerminate));
    h.Active()->dialog().HandleCommand(kIdTerminate);
    EXPECT_FALSE(WorkerSlotBusy());
    h.Advance(10000);  // the countdown was stopped with the query
  });
  host_.Then([](HeadlessHost& h) { h.Click(ui::kIdCancel); });
  EXPECT_EQ(Run(BlockUntilCancelled, 3), 2);
  EXPECT_EQ(status_, "UserCancelled");
  EXPECT_EQ(countdown_, std::vector<std::string>{"3"});
}

}  // namespace
}  // namespace qv::runner
