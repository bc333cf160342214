#include "runner/query_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "engine/run_query.h"
#include "platform/cancel_signal.h"
#include "platform/process.h"

namespace qv::runner {

// Everything a worker touches. The UI thread and the worker share it; it
// lives until both have let go, so a worker that outlives its caller still
// writes only here.
struct WorkerTask {
  engine::QueryJob job;  // the worker's own copy, its cancel signal below
  platform::CancelSignal cancel;

  std::mutex mutex;
  bool abandoned = false;  // set by StopQuery: the worker must not post
  engine::Reply reply;     // guarded by mutex
  ui::WindowId notify = 0;
  std::uintptr_t token = 0;  // identifies this task's done message
};

namespace {

// The process-wide current-worker slot; touched by the UI thread only.
std::shared_ptr<WorkerTask> g_slot;
std::uintptr_t g_next_token = 1;

std::mutex g_live_mutex;
std::condition_variable g_live_cv;
int g_live = 0;

// What InterruptQuery may touch, lock-free: the running worker's cancel
// signal while the slot holds its task, how many interrupters are at it
// (the UI thread lets go of the task only when none is), and whether one
// came.
std::atomic<platform::CancelSignal*> g_running_cancel{nullptr};
std::atomic<int> g_interrupters{0};
std::atomic<bool> g_interrupted{false};

void FillSlot(const std::shared_ptr<WorkerTask>& task) {
  g_slot = task;
  g_interrupted.store(false);
  g_running_cancel.store(&task->cancel);
}

void EmptySlot() {
  g_running_cancel.store(nullptr);
  while (g_interrupters.load() != 0) std::this_thread::yield();
  g_slot.reset();
}

void CountWorker(int change) {
  std::lock_guard<std::mutex> lock(g_live_mutex);
  g_live += change;
  g_live_cv.notify_all();
}

void WorkerMain(std::shared_ptr<WorkerTask> task, const QueryFn& query) {
  engine::Reply reply = query(task->job);
  {
    std::lock_guard<std::mutex> lock(task->mutex);
    task->reply = std::move(reply);
    // Posting under the lock orders it against StopQuery: either the message
    // is queued before the task is abandoned, or it is never sent.
    if (!task->abandoned) ui::CurrentHost().Post(task->notify, WM_QUERY_DONE, task->token, 1);
  }
  task.reset();
  CountWorker(-1);
}

}  // namespace

QueryRunnerDialog::QueryRunnerDialog(Variant variant, QueryFn query)
    : ui::Dialog(RunnerTemplate(variant)), query_(std::move(query)) {}

QueryRunnerDialog::~QueryRunnerDialog() = default;

int QueryRunnerDialog::Run(const engine::QueryJob& job) {
  job_ = &job;
  // A window that closes by any other way than the endings below reads as
  // cancelled, never as an empty success.
  reply_ = engine::Reply{};
  reply_.stage = engine::Stage::kUserCancelled;
  const int result = DoModal();
  job_ = nullptr;
  return result;
}

void QueryRunnerDialog::OnShow(bool shown) {
  if (shown) Start();
}

void QueryRunnerDialog::Start() {
  Window()->SetCaption(ui::LoadText(kRunnerCaptionString));
  if (g_slot) return;  // one query per process
  Window()->SetText(kIdServerText, job_->server);

  auto task = std::make_shared<WorkerTask>();
  task->notify = Id();
  task->token = g_next_token++;
  task->job = *job_;
  task->job.cancel = &task->cancel;

  // The slot is filled before the worker runs.
  FillSlot(task);
  task_ = task;
  CountWorker(+1);
  if (!platform::StartDetachedThread([task, query = query_] { WorkerMain(task, query); })) {
    // No worker, so nothing would ever end the countdown but Cancel: end
    // the query at once, and free the slot for the next one.
    CountWorker(-1);
    EmptySlot();
    task_.reset();
    reply_.stage = engine::Stage::kThread;
    EndDialog(ui::kIdOkResult);
    return;
  }

  timer_id_ = 0;
  // A negative time-out ends on the first tick, as 0 does; clamped, the
  // countdown never runs past the smallest int.
  countdown_ = std::max(job_->timeout, 0);
  Window()->SetText(kIdCountdown, std::to_string(countdown_));
  timer_id_ = Window()->SetTimer(1, 1000);
  if (timer_id_ == 0) ui::ShowMessage("Timer is Error.", ui::kMbOk | ui::kMbIconWarning, Id());
}

void QueryRunnerDialog::Abandon() {
  {
    std::lock_guard<std::mutex> lock(task_->mutex);
    task_->abandoned = true;
  }
  task_->cancel.Fire();  // wakes the worker; it closes its own socket
  EmptySlot();
  task_.reset();
}

void QueryRunnerDialog::OnDestroy() {
  // A window torn down without any of the three endings still lets go.
  if (task_ && g_slot == task_) Abandon();
}

void QueryRunnerDialog::StopQuery() {
  // Only the worker this dialog started is ours to stop; a second runner
  // that found the slot busy must not abandon the first one's query.
  if (!g_slot || g_slot != task_) return;
  Abandon();

  if (timer_id_ != 0) {
    if (Window()->KillTimer(timer_id_))
      timer_id_ = 0;
    else
      ui::ShowMessage("killtimer error", ui::kMbOk | ui::kMbIconWarning, Id());
  } else {
    ui::ShowMessage("timer is not running", ui::kMbOk | ui::kMbIconWarning, Id());
  }
}

std::intptr_t QueryRunnerDialog::OnMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t /*lparam*/) {
  if (msg != WM_QUERY_DONE) return 0;
  // A late message from a task this dialog no longer owns changes nothing.
  if (!task_ || wparam != task_->token || g_slot != task_) return 0;
  {
    // The worker wrote its reply before posting.
    std::lock_guard<std::mutex> lock(task_->mutex);
    reply_ = std::move(task_->reply);
  }
  StopQuery();
  EndDialog(ui::kIdOkResult);
  return 0;
}

void QueryRunnerDialog::EndWith(engine::Stage stage, int modal_result) {
  StopQuery();
  reply_ = engine::Reply{};
  reply_.stage = stage;
  EndDialog(modal_result);
}

void QueryRunnerDialog::OnTimer(std::uintptr_t /*id*/) {
  // An interrupt that the worker could not act on (a name lookup).
  if (task_ && g_slot == task_ && g_interrupted.exchange(false)) return OnCancel();
  --countdown_;
  Window()->SetText(kIdCountdown, std::to_string(countdown_));
  if (countdown_ <= 0) EndWith(engine::Stage::kTimeOut, ui::kIdOkResult);
}

void QueryRunnerDialog::OnCancel() { EndWith(engine::Stage::kUserCancelled, ui::kIdCancelResult); }

void QueryRunnerDialog::OnCommand(int id) {
  if (id == kIdTerminate)
    StopQuery();
  else if (id == kIdSuspend || id == kIdResume)
    return;
  else
    ui::Dialog::OnCommand(id);
}

void InstallQueryRunner(Variant variant, QueryFn query) {
  engine::SetQueryRunner([variant, query](const engine::QueryJob& job) {
    QueryRunnerDialog dialog(variant, query);
    dialog.Run(job);
    return dialog.reply();
  });
}

bool InterruptQuery() {
  g_interrupters.fetch_add(1);
  platform::CancelSignal* const cancel = g_running_cancel.load();
  if (cancel) {
    g_interrupted.store(true);
    cancel->Fire();
  }
  g_interrupters.fetch_sub(1);
  return cancel != nullptr;
}

bool WorkerSlotBusy() { return g_slot != nullptr; }

int LiveWorkers() {
  std::lock_guard<std::mutex> lock(g_live_mutex);
  return g_live;
}

bool WaitForWorkers(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(g_live_mutex);
  return g_live_cv.wait_for(lock, limit, [] { return g_live == 0; });
}

}  // namespace qv::runner
