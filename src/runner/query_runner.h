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
#include "ui/dialog.h"
#include "runner/runner_template.h"

namespace qv::runner {

// What the worker runs; QueryServer unless a test supplies another.
using QueryFn = std::function<int(engine::QueryJob&)>;

struct WorkerTask;

class QueryRunnerDialog : public ui::Dialog {
 public:
  explicit QueryRunnerDialog(Variant variant, QueryFn query = engine::QueryServer);
  ~QueryRunnerDialog() override;

  // Runs the dialog modally for the job: 1 on done or time-out, 2 on Cancel.
  int Run(engine::QueryJob& job);

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
  void EndWith(const char* status, int modal_result);

  QueryFn query_;
  engine::QueryJob* job_ = nullptr;
  std::uintptr_t timer_id_ = 0;
  int countdown_ = 0;
  std::shared_ptr<WorkerTask> task_;  // the worker this dialog started
};

// Makes every RunQuery of this process go through the runner dialog.
void InstallQueryRunner(Variant variant, QueryFn query = engine::QueryServer);

// True while a worker occupies the process-wide current-worker slot.
bool WorkerSlotBusy();
// Number of worker threads still alive, abandoned ones included.
int LiveWorkers();
// Waits until every worker thread has ended (process exit, tests). False on
// time-out.
bool WaitForWorkers(std::chrono::milliseconds limit);

}  // namespace qv::runner
