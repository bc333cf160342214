#include "runner/query_runner.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/run_query.h"
#include "platform/cancel_signal.h"

namespace qv::runner {

// Everything a worker touches. The UI thread and the worker share it; it
// lives until both have let go, so a worker that outlives its caller still
// writes only here.
struct WorkerTask {
  engine::QueryJob job;  // the worker's own job, pointing into this task
  std::vector<std::uint8_t> reply;
  engine::MicroTime receive_time;
  std::string status;
  int error_code = 0;
  platform::CancelSignal cancel;

  std::mutex mutex;
  bool abandoned = false;  // set by StopQuery: the worker must not post
  int result = 0;
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

void WorkerMain(std::shared_ptr<WorkerTask> task, QueryFn query) {
  const int result = query(task->job);
  {
    std::lock_guard<std::mutex> lock(task->mutex);
    task->result = result;
    // Posting under the lock orders it against StopQuery: either the message
    // is queued before the task is abandoned, or it is never sent.
    if (!task->abandoned)
      ui::CurrentHost().Post(task->notify, engine::WM_QUERY_DONE, task->token, 1);
  }
  task.reset();
  std::lock_guard<std::mutex> lock(g_live_mutex);
  --g_live;
  g_live_cv.notify_all();
}

}  // namespace

QueryRunnerDialog::QueryRunnerDialog(Variant variant, QueryFn query)
    : ui::Dialog(RunnerTemplate(variant)), query_(std::move(query)) {}

QueryRunnerDialog::~QueryRunnerDialog() = default;

int QueryRunnerDialog::Run(engine::QueryJob& job) {
  job_ = &job;
  const int result = DoModal();
  job_ = nullptr;
  return result;
}

void QueryRunnerDialog::OnShow(bool shown) {
  if (shown) Start();
}

void QueryRunnerDialog::Start() {
  Window()->SetCaption(ui::LoadString(kRunnerCaptionString));
  if (g_slot) return;  // one query per process
  Window()->SetText(kIdServerText, job_->server);

  auto task = std::make_shared<WorkerTask>();
  task->notify = Id();
  task->token = g_next_token++;
  task->reply.assign(static_cast<std::size_t>(std::max(job_->reply_size, 0)), 0);
  task->job.protocol = job_->protocol;
  task->job.server = job_->server;
  task->job.timeout = job_->timeout;
  task->job.reply = task->reply.data();
  task->job.reply_size = job_->reply_size;
  task->job.receive_time = job_->receive_time ? &task->receive_time : nullptr;
  task->job.status = &task->status;
  task->job.error_code = &task->error_code;
  task->job.notify_window = Id();
  task->job.cancel = &task->cancel;
  job_->notify_window = Id();

  // The slot is filled before the worker runs.
  g_slot = task;
  task_ = task;
  {
    std::lock_guard<std::mutex> lock(g_live_mutex);
    ++g_live;
  }
  std::thread(WorkerMain, task, query_).detach();

  timer_id_ = 0;
  countdown_ = job_->timeout;
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
  g_slot.reset();
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
  if (msg != engine::WM_QUERY_DONE) return 0;
  // A late message from a task this dialog no longer owns changes nothing.
  if (!task_ || wparam != task_->token || g_slot != task_) return 0;
  {
    // The worker wrote its outcome before posting; take it into the caller's job.
    std::lock_guard<std::mutex> lock(task_->mutex);
    if (job_->reply && !task_->reply.empty())
      std::memcpy(job_->reply, task_->reply.data(), task_->reply.size());
    if (job_->receive_time) *job_->receive_time = task_->receive_time;
    if (job_->status) *job_->status = task_->status;
    if (job_->error_code) *job_->error_code = task_->error_code;
    job_->result = task_->result;
  }
  StopQuery();
  EndDialog(ui::kIdOkResult);
  return 0;
}

void QueryRunnerDialog::EndWith(const char* status, int modal_result) {
  StopQuery();
  job_->result = 0;
  if (job_->status) *job_->status = status;
  if (job_->error_code) *job_->error_code = 0;
  EndDialog(modal_result);
}

void QueryRunnerDialog::OnTimer(std::uintptr_t /*id*/) {
  --countdown_;
  Window()->SetText(kIdCountdown, std::to_string(countdown_));
  if (countdown_ <= 0) EndWith("TimeOut", ui::kIdOkResult);
}

void QueryRunnerDialog::OnCancel() { EndWith("UserCancelled", ui::kIdCancelResult); }

void QueryRunnerDialog::OnCommand(int id) {
  if (id == kIdTerminate)
    StopQuery();
  else if (id == kIdSuspend || id == kIdResume)
    return;
  else
    ui::Dialog::OnCommand(id);
}

void InstallQueryRunner(Variant variant, QueryFn query) {
  engine::SetQueryRunner([variant, query](engine::QueryJob& job) {
    QueryRunnerDialog dialog(variant, query);
    dialog.Run(job);
  });
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
