// The query runner on the headless host with a manual clock: every ending
// (done, time-out, Cancel), late results after an ending, and a second runner
// while the slot is busy.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "platform/process.h"
#include "platform/test_seams.h"
#include "runner/query_runner.h"
#include "support/scripted_host.h"

namespace qv::runner {
namespace {

using engine::QueryJob;
using engine::Reply;
using engine::Stage;
using HeadlessHost = qv::test::ScriptedHost;

// A gate a test opens to let a fake worker go on.
struct Gate {
  std::atomic<bool> open{false};
  void Wait() const {
    while (!open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

// A query that hangs until the runner abandons it, as a silent server does.
Reply BlockUntilCancelled(const QueryJob& job) {
  while (!job.cancel->Fired()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return Reply{};
}

Reply Answer(std::uint8_t byte, Stage stage = Stage::kOk, int error = 0) {
  Reply reply;
  reply.stage = stage;
  reply.error_code = error;
  reply.bytes = {byte};
  reply.arrival = {1234, 5678};
  return reply;
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

  // Runs the runner for a job with the given timeout; its reply lands in
  // reply_.
  int Run(QueryFn fn, int timeout) {
    job_ = QueryJob{};
    job_.protocol = kTime;
    job_.server = QV_LOOPBACK_NET ".200";
    job_.timeout = timeout;
    countdown_.clear();
    QueryRunnerDialog dialog(Variant::kMain, std::move(fn));
    const int modal = dialog.Run(job_);
    reply_ = dialog.reply();
    return modal;
  }

  HeadlessHost host_;
  QueryJob job_;
  Reply reply_;
  std::vector<std::string> countdown_;
};

TEST_F(RunnerTest, DoneFirstHandsTheWorkersReplyToTheCaller) {
  for (const bool ok : {true, false}) {
    const int modal = Run(
        [ok](const QueryJob& job) {
          EXPECT_NE(job.cancel, nullptr);
          return ok ? Answer(0x83) : Answer(0x84, Stage::kConnect, 10061);
        },
        5);
    EXPECT_EQ(modal, 1);
    EXPECT_EQ(reply_.stage, ok ? Stage::kOk : Stage::kConnect);
    EXPECT_EQ(reply_.error_code, ok ? 0 : 10061);
    EXPECT_EQ(reply_.bytes, std::vector<std::uint8_t>{static_cast<std::uint8_t>(ok ? 0x83 : 0x84)});
    EXPECT_EQ(reply_.arrival, (engine::MicroTime{1234, 5678}));
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
  EXPECT_EQ(reply_.stage, Stage::kTimeOut);
  EXPECT_EQ(reply_.error_code, 0);

  // Timeout 0, and any below it, ends on the first tick, not before; the
  // countdown starts at 0 and never runs below -1.
  for (const int timeout : {0, -5, INT_MIN}) {
    host_.Then([](HeadlessHost& h) { h.Advance(999); });
    host_.Then([this](HeadlessHost& h) {
      EXPECT_EQ(countdown_.size(), 1u);
      h.Advance(1);
    });
    const std::int64_t start = host_.NowMs();
    EXPECT_EQ(Run(BlockUntilCancelled, timeout), 1);
    EXPECT_EQ(host_.NowMs() - start, 1000);
    EXPECT_EQ(countdown_, (std::vector<std::string>{"0", "-1"}));
    EXPECT_EQ(reply_.stage, Stage::kTimeOut);
  }
}

// (Cancel first, on every host: the RunnerEndings scenario.)

// The worker ignores the cancel signal, finishes after the runner has ended
// and posts its done message: none of it may reach the caller, whether
// Cancel or the countdown ended the run.
TEST_F(RunnerTest, LateResultsAfterCancelOrTimeOutChangeNothing) {
  for (const bool cancel : {true, false}) {
    Gate gate;
    std::atomic<bool> finished{false};
    host_.Then([cancel](HeadlessHost& h) { cancel ? h.PressEsc() : h.Advance(2000); });
    const int modal = Run(
        [&](const QueryJob&) {
          gate.Wait();
          finished = true;
          return Answer(0xAA);
        },
        2);
    EXPECT_EQ(modal, cancel ? 2 : 1);
    const Stage ending = cancel ? Stage::kUserCancelled : Stage::kTimeOut;
    EXPECT_EQ(reply_.stage, ending);
    EXPECT_FALSE(WorkerSlotBusy());
    EXPECT_EQ(LiveWorkers(), 1);  // still blocked after its caller returned

    gate.open = true;
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_TRUE(finished);
    // A second run would be told if the late message had been taken.
    host_.Then([](HeadlessHost& h) { h.Click(ui::kIdCancel); });
    EXPECT_EQ(Run(BlockUntilCancelled, 5), 2);
    EXPECT_TRUE(reply_.bytes.empty());
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
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
      [&](const QueryJob&) {
        posted = true;  // the post follows right after return
        return Answer(7);
      },
      5);
  EXPECT_EQ(reply_.stage, modal == 2 ? Stage::kUserCancelled : Stage::kOk);
  EXPECT_EQ(reply_.bytes.size(), modal == 2 ? 0u : 1u);
}

TEST_F(RunnerTest, SecondRunnerWhileTheSlotIsBusyStartsNothing) {
  Gate gate;
  std::atomic<int> queries{0};
  auto blocked = [&](const QueryJob&) {
    ++queries;
    gate.Wait();
    return Answer(1);
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
    QueryJob second;
    second.server = QV_LOOPBACK_NET ".201";
    second.timeout = 1;
    QueryRunnerDialog nested(Variant::kMain, blocked);
    EXPECT_EQ(nested.Run(second), 2);
    EXPECT_EQ(nested.reply().stage, Stage::kUserCancelled);
    // The first runner's query is untouched by the second's Cancel.
    EXPECT_TRUE(WorkerSlotBusy());
    gate.open = true;
  });
  EXPECT_EQ(Run(blocked, 30), 1);
  EXPECT_EQ(reply_.stage, Stage::kOk);
  EXPECT_EQ(queries, 1);
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(RunnerTest, TimerFailureIsReportedAndTheQueryStillRuns) {
  host_.FailTimers(true);
  Gate gate;
  host_.Then([&](HeadlessHost&) { gate.open = true; });
  const int modal = Run(
      [&](const QueryJob&) {
        gate.Wait();
        return Answer(1);
      },
      3);
  EXPECT_EQ(modal, 1);
  EXPECT_EQ(reply_.stage, Stage::kOk);
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
  EXPECT_EQ(reply_.stage, Stage::kUserCancelled);
  EXPECT_EQ(countdown_, std::vector<std::string>{"3"});
}

// No thread to be had: the query ends at once with its own failure, and
// the slot is free for the next one.
TEST_F(RunnerTest, AWorkerThatCannotStartEndsTheQueryAndFreesTheSlot) {
  platform::FailThreadStartsForTesting(true);
  std::atomic<int> queries{0};
  EXPECT_EQ(Run([&](const QueryJob&) { return ++queries, Answer(1); }, 30), 1);
  platform::FailThreadStartsForTesting(false);
  EXPECT_EQ(reply_.stage, Stage::kThread);
  EXPECT_EQ(host_.NowMs(), 0);
  EXPECT_FALSE(WorkerSlotBusy());
  EXPECT_EQ(LiveWorkers(), 0);
  EXPECT_TRUE(host_.message_boxes().empty());

  EXPECT_EQ(Run([&](const QueryJob&) { return ++queries, Answer(1); }, 30), 1);
  EXPECT_EQ(reply_.stage, Stage::kOk);
  EXPECT_EQ(queries, 1);
}

// Ctrl-C of quorvel-cli: a worker that hears its cancel signal ends at once
// with its own "UserCancelled"; one that cannot (a name lookup) is given up
// at the next tick.
TEST_F(RunnerTest, InterruptEndsTheRunningQueryFromAnotherThread) {
  EXPECT_FALSE(InterruptQuery());  // no query: the caller ends the program
  auto hears = [](const QueryJob& job) {
    BlockUntilCancelled(job);
    return Answer(0, Stage::kUserCancelled);
  };
  host_.Then([](HeadlessHost&) { std::thread([] { EXPECT_TRUE(InterruptQuery()); }).join(); });
  EXPECT_EQ(Run(hears, 30), 1);
  EXPECT_EQ(reply_.stage, Stage::kUserCancelled);
  EXPECT_EQ(host_.NowMs(), 0);

  Gate gate;
  host_.Then([](HeadlessHost& h) {
    EXPECT_TRUE(InterruptQuery());
    h.Advance(1000);
  });
  EXPECT_EQ(Run([&](const QueryJob&) { return gate.Wait(), Answer(1); }, 30), 2);
  EXPECT_EQ(reply_.stage, Stage::kUserCancelled);
  EXPECT_EQ(countdown_, std::vector<std::string>{"30"});
  gate.open = true;
  EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));  // before the gate goes
}

}  // namespace
}  // namespace qv::runner
