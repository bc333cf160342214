// The main dialog's check and adjust cycle and its timers: what the Check
// and Adjust buttons, the retry timer and the daily timer do.
#include <cstdio>

#include "engine/result_log.h"
#include "main/main_dialog.h"
#include "main/notice_dialog.h"
#include "main/strings.h"
#include "main/templates.h"
#include "platform/clock.h"
#include "profile/app_state.h"
#include "profile/profile.h"
#include "profile/server_options.h"

namespace qv::main {

namespace {

// Marks a cycle in progress for as long as it lives: ticks that come
// meanwhile are put off, never nested.
class CycleScope {
 public:
  explicit CycleScope(Schedule& s) : s_(s) { s_.EnterCycle(); }
  ~CycleScope() { s_.LeaveCycle(); }
  CycleScope(const CycleScope&) = delete;
  CycleScope& operator=(const CycleScope&) = delete;

 private:
  Schedule& s_;
};

}  // namespace

void MainDialog::OnCommand(int id) {
  switch (id) {
    case kIdCheck:
    case kIdAdjust:
      // Only another program can press these while a cycle's modal loop
      // runs (the window is disabled for the user); a query never nests.
      if (schedule_.busy() || closing_ || refusal_up_) return;
      ShowClockHint();  // an unattended adjustment's, now that the user is here
      if (closing_) return;  // the schedule ran on meanwhile
      if (id == kIdCheck)
        CheckNow();
      else
        AdjustNow();
      ShowClockHint();  // this adjustment's own
      RunDeferredTicks();
      return;
    case kIdSettings:
      ShowClockHint();
      if (!closing_) LaunchSettings();
      return;
    case kIdVoice:
      UpdateData(true);
      UpdateData(false);
      return;
    default: ui::Dialog::OnCommand(id); return;
  }
}

void MainDialog::OnTimer(std::uintptr_t id) {
  if (closing_) return;
  Perform(schedule_.OnTick(id), id);
  RunDeferredTicks();
}

void MainDialog::Perform(Schedule::Action action, std::uintptr_t id) {
  switch (action) {
    case Schedule::Action::kNone: break;
    case Schedule::Action::kShowClock:
      if (!ClockHeld()) ShowClock();
      break;
    case Schedule::Action::kRetryCycle: RunAdjustCycle(); break;
    case Schedule::Action::kDailyCycle: DailyTick(); break;
    case Schedule::Action::kUnknown: {
      Window()->KillTimer(id);
      char text[64];
      std::snprintf(text, sizeof text, text::kTimerKilled, static_cast<int>(id));
      ui::ShowMessage(text, ui::kMbOk | ui::kMbIconWarning, Id());
      break;
    }
  }
}

void MainDialog::RunDeferredTicks() {
  for (;;) {
    if (closing_) return;
    const Schedule::Action action = schedule_.TakeDeferred();
    if (action == Schedule::Action::kNone) return;
    Perform(action, 0);
  }
}

void MainDialog::OnTimeChange() {
  // The wall clock moved (set by us, by the user, or after sleep): the
  // next daily moment counts from the new time, so it never drifts.
  if (!closing_ && schedule_.daily_on()) ArmDailyTimer();
}

void MainDialog::ArmDailyTimer() {
  const platform::SystemTime t = platform::SystemClock().LocalTime();
  schedule_.ArmDaily(t.hour * 3600 + t.minute * 60 + t.second);
}

void MainDialog::StopAllTimers() { schedule_.StopAll(); }

void MainDialog::DailyTick() {
  schedule_.MarkDaily();
  RunAdjustCycle();
  if (closing_) return;
  schedule_.StopDaily();
  ArmDailyTimer();
}

// -------------------------------------------------------------------- cycle

bool MainDialog::CanQuery() {
  std::string refusal;
  if (server_.empty())
    refusal = ui::LoadText(kStrNoServer);
  else if (!CheckDialup(*services_.dialup))
    refusal = text::kDialupRefused;
  else
    return true;
  refusal_up_ = true;
  ui::ShowMessage(refusal, ui::kMbOk | ui::kMbIconWarning, Id());
  refusal_up_ = false;
  return false;
}

engine::Request MainDialog::Request() const {
  engine::Request request =
      engine::MakeRequest(settings_.protocol, server_, time_out_, settings_.beep, settings_.reference_check,
                          settings_.reference_hours,
                          profile::DebugSwitch() ? engine::DetailLogPath(services_.profile->path()) : "",
                          ui::LoadText(kStrHostNotFound));
  // Read when asked, so that a change saved by the settings program counts.
  const profile::ServerOptions options =
      profile::LoadServerOptions(profile::ProfileFile(services_.profile->path()).Load());
  request.nts = options.nts == 1;
  request.nts_trust_file = options.nts_trust_file;
  return request;
}

void MainDialog::ReportLogFailure(const QueryOutcome& outcome) {
  if (outcome.log_open_failed) ui::ShowMessage(engine::kLogOpenFailedText, ui::kMbOk | ui::kMbIconWarning, Id());
}

void MainDialog::CheckNow() {
  UpdateData(true);
  if (!CanQuery()) return;
  CycleScope cycle(schedule_);
  server_time_ = text::kConnecting;
  UpdateData(false);
  const QueryOutcome o = services_.engine->Check(Request(), settings_.log_file != 0);
  ReportLogFailure(o);
  server_time_ = engine::ServerTimeLine(o.result);
  pc_time_ = o.result.pc_time;
  last_pc_time_ = o.result.pc_time;
  UpdateData(false);
  // The result stays a second before the clock display runs on. The
  // dialog's thread goes back to its loop meanwhile, so the result shows.
  if (settings_.clock_on) clock_held_until_ = services_.now_ms() + 1000;
}

void MainDialog::AdjustNow() {
  UpdateData(true);
  if (!CanQuery()) return;
  schedule_.MarkManual();
  RunAdjustCycle();
  UpdateData(false);
}

bool MainDialog::RunAdjustCycle() {
  CycleScope cycle(schedule_);
  const Schedule::Start start = schedule_.BeginCycle();
  if (!start.adjust) return false;
  if (start.status) ShowRetry(*start.status);
  const bool ok = AdjustOnce();
  ShowNotice(3000, ok ? server_time_ : std::string(text::kErrorMark), pc_time_);
  if (const auto status = schedule_.EndCycle(ok)) ShowRetry(*status);
  if (ok && settings_.auto_terminate && !closing_) AutoTerminateNow();
  return ok;
}

bool MainDialog::AdjustOnce() {
  server_time_ = text::kConnecting;
  UpdateData(false);
  const QueryOutcome o = services_.engine->Adjust(Request(), settings_.log_file != 0);
  ReportLogFailure(o);
  last_pc_time_ = o.result.pc_time;
  server_time_ = engine::ServerTimeLine(o.result);
  pc_time_ = o.result.ok() ? std::string(text::kAdjusted) : last_pc_time_;
  UpdateData(false);
  KeepClockHint(o.result.refusal);
  return o.result.ok();
}

void MainDialog::KeepClockHint(platform::ClockRefusal refusal) {
  if (clock_hint_shown_ || clock_hint_) return;
  if (!platform::ClockRightHint(refusal, services_.executable_path).empty()) clock_hint_ = refusal;
}

// Never inside a cycle: the box's loop runs the schedule's ticks as usual,
// and a start-up or daily adjustment nobody watches never waits on it.
void MainDialog::ShowClockHint() {
  if (!clock_hint_ || closing_) return;
  const std::string text = platform::ClockRightHint(*clock_hint_, services_.executable_path);
  clock_hint_.reset();
  clock_hint_shown_ = true;
  refusal_up_ = true;  // Check and Adjust wait for the box
  ui::ShowMessage(text, ui::kMbOk | ui::kMbIconWarning, Id());
  refusal_up_ = false;
}

void MainDialog::AutoTerminateNow() {
  if (!auto_adjust_) {
    CloseAs(ui::kIdOkResult);
    return;
  }
  if (ShowNotice(2000, ui::LoadText(kStrAutoTerminate), ui::LoadText(kStrEscToCancel)) == ui::kIdOkResult)
    CloseAs(ui::kIdCancelResult);
  else
    Window()->ShowWindow(ui::kSwRestore);
}

int MainDialog::ShowNotice(std::uint32_t ms, const std::string& first, const std::string& second) {
  NoticeDialog notice(ms, first, second);
  return notice.DoModal(Id());
}

}  // namespace qv::main
