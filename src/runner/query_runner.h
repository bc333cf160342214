// One query on a worker thread behind a modal countdown dialog that ends on
// the first of: the worker's done message, the end of the countdown, Cancel.
//
// An abandoned worker (time-out, Cancel) is never suspended or killed: it
// runs on to its end against a task it co-owns, its waits are woken through
// the task's cancel signal, it closes its own socket, and nothing it does
// afterwards reaches the caller's job, the dialog or the caller.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/query_job.h"
#include "runner/runner_template.h"
#include "ui/dialog.h"

namespace qv::runner {

// The message a worker posts to its runner when its query has returned
// (WM_USER + 100); wParam tells the runner which of its workers it was.
inline constexpr unsigned WM_QUERY_DONE = 0x0400 + 100;

// What the worker runs; QueryServer unless a test supplies another.
using QueryFn = std::function<engine::Reply(const engine::QueryJob&)>;

struct WorkerTask;

class QueryRunnerDialog : public ui::Dialog {
 public:
  explicit QueryRunnerDialog(Variant variant, QueryFn query = engine::QueryServer);
  ~QueryRunnerDialog() override;

  // Runs the dialog modally for the job: 1 on done, time-out or a worker
  // that could not start, 2 on Cancel. The outcome is then in reply().
  int Run(const engine::QueryJob& job);
  // The worker's reply when its done message ended the run; else the
  // runner's own ending: "TimeOut", "UserCancelled" or "Thread", error 0.
  const engine::Reply& reply() const { return reply_; }

 protected:
  void OnShow(bool shown) override;
  std::intptr_t OnMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  void OnTimer(std::uintptr_t id) override;
  void OnCommand(int id) override;
  void OnCancel() override;
  void OnOK() override {}  // Enter does not end the countdown
  void OnDestroy() override;

 private:
  void Start();
  void StopQuery();
  void Abandon();
  void EndWith(engine::Stage stage, int modal_result);

  QueryFn query_;
  const engine::QueryJob* job_ = nullptr;
  engine::Reply reply_;
  std::uintptr_t timer_id_ = 0;
  int countdown_ = 0;
  std::shared_ptr<WorkerTask> task_;  // the worker this dialog started
};

// Makes every RunQuery of this process go through the runner dialog.
void InstallQueryRunner(Variant variant, QueryFn query = engine::QueryServer);

// Cancels the running query as its Cancel button would (quorvel-cli's
// Ctrl-C), from any thread and from a signal handler: the worker's waits
// end at once, and a worker that cannot be woken (inside a name lookup) is
// given up at the countdown's next tick. False when no query runs.
bool InterruptQuery();

// True while a worker occupies the process-wide current-worker slot.
bool WorkerSlotBusy();
// Number of worker threads still alive, abandoned ones included.
int LiveWorkers();
// Waits until every worker thread has ended (process exit, tests). False on
// time-out.
bool WaitForWorkers(std::chrono::milliseconds limit);

}  // namespace qv::runner
