// Dialog 512, the main program's window: the server, its time and the PC's,
// the status line of options, the check and adjust cycle, the daily and
// retry schedule, and the settings program's notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "main/cycle_options.h"
#include "main/dialup_check.h"
#include "main/engine_calls.h"
#include "main/profile_calls.h"
#include "main/schedule.h"
#include "main/settings_launch.h"
#include "platform/clock.h"
#include "ui/dialog.h"

namespace qv::main {

// The dialog's own messages, beside WM_SETTINGS_NOTIFY.
inline constexpr unsigned kMsgSettingsEnded = ui::kWmUser + 101;  // wparam: the start it ended
// The about item of the system menu.
inline constexpr unsigned kAboutCommand = 16;

// What the dialog works with; tests put fakes here.
struct MainServices {
  EngineCalls* engine = nullptr;
  MainProfile* profile = nullptr;
  DialupProbe* dialup = nullptr;
  SettingsProgram* settings = nullptr;
  // Milliseconds on a monotonic clock (the host's manual one in tests):
  // how long a check's result holds the current-time display back.
  std::function<std::int64_t()> now_ms;
  std::function<void(unsigned hz, unsigned ms)> beep;
  // The window property start-up attaches: the executable's base name.
  std::string property_name;
  // The executable, which the hint on a refused adjustment names.
  std::string executable_path;
};

class MainDialog final : public ui::Dialog, private TimerPort {
 public:
  explicit MainDialog(MainServices services);
  ~MainDialog() override;

  // Read by tests.
  const Schedule& schedule() const { return schedule_; }

 protected:
  bool OnInitDialog() override;
  void OnShow(bool shown) override;
  void OnCommand(int id) override;
  void OnTimer(std::uintptr_t id) override;
  std::intptr_t OnMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  bool OnSysCommand(unsigned command) override;
  void OnTimeChange() override;
  void OnDestroy() override;
  void OnOK() override;
  void OnCancel() override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  // TimerPort: the dialog's window timers.
  bool StartTimer(std::uintptr_t id, std::uint32_t period_ms) override;
  bool StopTimer(std::uintptr_t id) override;

  // Settings and display.
  void LoadSettings();
  void ReloadSettings();
  void FoldDialog(bool with_status_line);
  void EnableIndicators();
  void SetupClock();
  void ShowClock();
  // True while a check's result holds the current-time display back.
  bool ClockHeld();
  void ShowRetry(const std::string& text);
  void RestoreWindowPos();
  void SaveWindowPos();
  void ArmDailyTimer();
  void StopAllTimers();

  // The cycle.
  bool CanQuery();
  engine::Request Request() const;
  engine::CycleRequest Cycle() const;
  // The server name read-out: the server whose answer shows (the default
  // while a query runs or when no other answered).
  void ShowAnsweringServer(const engine::Result& result);
  // The user's word on a step beyond the offset guard (an Adjust pressed).
  bool ConfirmStep(std::int64_t offset_ns);
  // The outcome's log failure, shown by the dialog's thread.
  void ReportLogFailure(const QueryOutcome& outcome);
  void CheckNow();
  void AdjustNow();
  bool RunAdjustCycle();
  // `retry_worthy`: false when a rule refused the step.
  bool AdjustOnce(bool& retry_worthy);
  void AutoTerminateNow();
  int ShowNotice(std::uint32_t ms, const std::string& first, const std::string& second);
  // The hint on how to allow setting the clock, once per run: kept at a
  // refusal, shown when the user next presses a button.
  void KeepClockHint(platform::ClockRefusal refusal);
  void ShowClockHint();
  void RunDeferredTicks();
  void DailyTick();
  void Perform(Schedule::Action action, std::uintptr_t id);

  // Closing and the settings program.
  void CloseAs(int result);
  void LaunchSettings();
  void FreeSettingsButton();
  void OnSettingsNotify(int code, ui::WindowId window);
  void CloseSettingsProgram();

  MainServices services_;
  Schedule schedule_;
  MainSettings settings_;  // the latest reading of the profile
  CycleOptions cycle_options_;  // of the same reading

  // Exchanged with controls.
  std::string pc_time_, server_time_, server_, time_out_text_, protocol_name_;
  int voice_ = 0;

  // The cycle's own members.
  int auto_adjust_ = 0, iconic_start_ = 0;  // SHIFT at start clears them for the run
  int time_out_ = 3;                        // in force: what the runner can count
  std::string last_pc_time_;
  std::optional<std::int64_t> clock_held_until_;  // on services_.now_ms()
  bool first_show_done_ = false;
  bool attended_ = false;  // the user pressed Adjust: a large step may be put to them
  bool closing_ = false;
  // Boxes that posted messages could open again and again, nested.
  bool about_up_ = false, second_settings_box_up_ = false, refusal_up_ = false;
  std::optional<platform::ClockRefusal> clock_hint_;  // kept, not yet shown
  bool clock_hint_shown_ = false;

  // The fold.
  bool fold_known_ = false;
  ui::Rect full_rect_, folded_rect_;

  // The settings program.
  ui::WindowId settings_window_ = 0;
  bool settings_hidden_ = false;
  std::uintptr_t settings_start_ = 0;  // counts starts; an end notice names its start
};

}  // namespace qv::main
