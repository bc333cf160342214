// The main dialog: initialisation, the settings it reads, the status line,
// the current-time display, window placement, closing, and the settings
// program's notifications. The cycle and the timers are in main_cycle.cpp.
#include "main/main_dialog.h"

#include <algorithm>
#include <cstdio>

#include "main/notice_dialog.h"
#include "main/strings.h"
#include "main/templates.h"
#include "platform/clock.h"
#include "platform/ctime.h"

namespace qv::main {

namespace {

// What the runner can count down: no negative time-out, at most a day.
constexpr int kMaxTimeOut = 86400;

std::string HourMinute(int hour, int minute) {
  char text[32];
  std::snprintf(text, sizeof text, "%02i:%02i", hour, minute);
  return text;
}

}  // namespace

MainDialog::MainDialog(MainServices services)
    : ui::Dialog(MainTemplate()), services_(std::move(services)), schedule_(*this) {}

MainDialog::~MainDialog() = default;

void MainDialog::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(kIdPcTime, pc_time_);
  dx.Text(kIdServerTime, server_time_);
  dx.Text(kIdServerName, server_);
  dx.Text(kIdTimeOut, time_out_text_);
  dx.Text(kIdProtocolName, protocol_name_);
  dx.Check(kIdVoice, voice_);
}

bool MainDialog::StartTimer(std::uintptr_t id, std::uint32_t period_ms) {
  return Window()->SetTimer(id, period_ms) != 0;
}

bool MainDialog::StopTimer(std::uintptr_t id) { return Window()->KillTimer(id); }

// ------------------------------------------------------------ initialisation

bool MainDialog::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  ui::HostWindow& w = *Window();
  // Other programs find the running instance's window by this property.
  if (!services_.property_name.empty()) w.SetProperty(services_.property_name, 1);
  if (const std::string about = ui::LoadText(kStrAboutMenuItem); !about.empty()) {
    w.AppendSystemMenuSeparator();
    w.AppendSystemMenuItem(kAboutCommand, about);
  }
  w.RemoveSystemMenuItem(ui::kScSize);
  w.RemoveSystemMenuItem(ui::kScMaximize);
  w.SetIcon(kIconProgram);
  w.SetButtonIcon(kIdAdjust, kIconAdjust);
  // The Settings button only where the settings program lies beside us.
  if (!services_.settings->Exists()) {
    w.Show(kIdSettings, false);
    settings_hidden_ = true;
  }
  LoadSettings();
  if (ui::CurrentHost().IsKeyDown(ui::Key::kShift)) {
    // SHIFT held at start: no adjustment and no minimised start this run.
    services_.beep(256, 100);
    auto_adjust_ = 0;
    iconic_start_ = 0;
    UpdateData(false);
  }
  FoldDialog(settings_.indicator_line != 0);
  SetupClock();
  UpdateData(false);
  return true;
}

void MainDialog::OnShow(bool shown) {
  if (!shown || first_show_done_) return;
  first_show_done_ = true;
  if (iconic_start_) {
    RestoreWindowPos();
    ui::WindowPlacement p = Window()->Placement();
    p.show_cmd = ui::kSwShowMinNoActive;
    p.set_min_position = true;
    Window()->SetPlacement(p);
  } else if (settings_.window_pos) {
    RestoreWindowPos();
  }
  if (auto_adjust_) AdjustNow();
  RunDeferredTicks();
}

// ------------------------------------------------------------------ settings

void MainDialog::LoadSettings() {
  UpdateData(true);
  settings_ = services_.profile->Load(settings_);
  // Before anything below renders a time. The process's TZ stays as start-up
  // made it: the settings program inherits it, and other threads read it.
  platform::SetShownZone(services_.profile->options().local_zone == 1 ? platform::ShownZone::kOs
                                                                      : platform::ShownZone::kCRuntime);
  cycle_options_ = LoadCycleOptions(services_.profile->options(), services_.profile->path());
  const MainSettings& s = settings_;
  server_ = s.server;
  UpdateData(false);
  protocol_name_ = std::string(ProtocolWord(s.protocol));
  auto_adjust_ = s.auto_adjust;
  iconic_start_ = s.iconic_start;
  time_out_ = std::clamp(s.time_out, 0, kMaxTimeOut);
  time_out_text_ = std::to_string(time_out_) + "s";
  schedule_.ClearFlags();
  schedule_.SetRetry(s.retry_on != 0, s.retry_limit, s.retry_value, s.retry_unit);
  ShowRetry(schedule_.CountText());
  Window()->SetText(kIdRetryInterval, RetryIntervalText(s.retry_value, s.retry_unit));
  schedule_.SetDaily(s.daily_on != 0, s.daily_hour, s.daily_minute);
  Window()->SetText(kIdDailyTime, HourMinute(s.daily_hour, s.daily_minute));
  if (schedule_.daily_on())
    ArmDailyTimer();
  else
    schedule_.StopDaily();
  UpdateData(false);
}

void MainDialog::ReloadSettings() {
  StopAllTimers();
  LoadSettings();
  FoldDialog(settings_.indicator_line != 0);
  SetupClock();
}

void MainDialog::FoldDialog(bool with_status_line) {
  ui::HostWindow& w = *Window();
  if (!fold_known_) {
    fold_known_ = true;
    full_rect_ = w.WindowRect();
    folded_rect_ = full_rect_;
    folded_rect_.bottom = w.ControlRect(kIdFoldMarker).top;
  }
  const ui::Rect& r = with_status_line ? full_rect_ : folded_rect_;
  w.ResizeWindow(r.Width(), r.Height());
  if (with_status_line) EnableIndicators();
}

void MainDialog::EnableIndicators() {
  ui::HostWindow& w = *Window();
  const MainSettings& s = settings_;
  // The iconic start as this run has it: SHIFT at start clears it.
  const std::pair<int, bool> rows[] = {
      {kIdAutoTerminate, s.auto_terminate != 0}, {kIdLogFile, s.log_file != 0},
      {kIdBeep, s.beep != 0},                    {kIdIconicStart, iconic_start_ != 0},
      {kIdDailyLabel, schedule_.daily_on()},     {kIdDailyTime, schedule_.daily_on()},
      {kIdRetryLabel, schedule_.retry_on()},     {kIdRetryCount, schedule_.retry_on()},
      {kIdRetryInterval, schedule_.retry_on()},  {kIdTimeOut, true},
  };
  for (const auto& [control, on] : rows) w.Enable(control, on);
}

void MainDialog::ShowRetry(const std::string& text) { Window()->SetText(kIdRetryCount, text); }

// ------------------------------------------------------------ the time shown

void MainDialog::SetupClock() {
  clock_held_until_.reset();
  Window()->SetText(kIdPcTime, "");
  Window()->SetCaption(ui::LoadText(kStrProductName));
  if (settings_.clock_on) {
    schedule_.StartClock();
    ShowClock();
  } else {
    schedule_.StopClock();
  }
}

bool MainDialog::ClockHeld() {
  if (!clock_held_until_) return false;
  if (services_.now_ms() < *clock_held_until_) return true;
  clock_held_until_.reset();
  return false;
}

void MainDialog::ShowClock() {
  static const char* const kFormats[] = {"%X", "%c", "%a %b %d %H:%M:%S %Y"};
  const std::int64_t ticks = platform::SystemClock().UtcFileTime() - platform::kFileTimeUnixEpoch;
  const std::int64_t seconds = ticks >= 0 ? ticks / platform::kFileTicksPerSecond
                                          : (ticks - platform::kFileTicksPerSecond + 1) / platform::kFileTicksPerSecond;
  const std::string text = platform::FormatCTime(seconds, kFormats[std::clamp(settings_.clock_format, 0, 2)]);
  if (settings_.clock_position == 1)
    Window()->SetCaption(text);
  else
    Window()->SetText(kIdPcTime, text);
}

// ------------------------------------------------------------------ placement

void MainDialog::RestoreWindowPos() {
  const SavedWindowPos pos = services_.profile->ReadWindowPos();
  if (pos.on == 0) return;
  const ui::Rect r = Window()->WindowRect();
  const ui::Rect area = ui::CurrentHost().WorkArea();
  // The stored corner may be any int: 64 bits hold it plus the window's size.
  std::int64_t left = pos.left, top = pos.top;
  // Pulled back into the work area: first off the bottom and right edges,
  // then off the top and left ones, so that the corner always shows.
  if (top + r.Height() > area.bottom) top = area.bottom - r.Height();
  if (left + r.Width() > area.right) left = area.right - r.Width();
  if (top < area.top) top = area.top;
  if (left < area.left) left = area.left;
  if (left == 0 && top == 0) left = 1;
  Window()->MoveWindow(static_cast<int>(left), static_cast<int>(top));
}

void MainDialog::SaveWindowPos() {
  UpdateData(true);
  const ui::WindowPlacement p = Window()->Placement();
  services_.profile->WriteWindowPos(settings_.window_pos, p.normal.left, p.normal.top, p.show_cmd);
}

// -------------------------------------------------------------- system menu

bool MainDialog::OnSysCommand(unsigned command) {
  if ((command & 0xFFF0) != kAboutCommand) return false;
  // Commands posted while the box is up open no second one inside it.
  if (about_up_) return true;
  about_up_ = true;
  AboutDialog about;
  about.DoModal(Id());
  about_up_ = false;
  return true;
}

// ------------------------------------------------------------------- closing

void MainDialog::OnOK() { CloseAs(ui::kIdOkResult); }
void MainDialog::OnCancel() { CloseAs(ui::kIdCancelResult); }

void MainDialog::CloseAs(int result) {
  if (closing_) return;
  // Only the Close button (and the automatic end that acts as it) keeps
  // where the window was.
  if (result == ui::kIdOkResult) SaveWindowPos();
  CloseSettingsProgram();
  StopAllTimers();
  closing_ = true;
  EndDialog(result);
}

void MainDialog::OnDestroy() {
  if (!services_.property_name.empty()) Window()->RemoveProperty(services_.property_name);
  if (voice_) {
    NoticeDialog notice(2000, ui::LoadText(kStrProductName), text::kClosing);
    notice.DoModal(0);
  }
}

// ------------------------------------------------------- the settings program

void MainDialog::LaunchSettings() {
  ui::HostWindow& w = *Window();
  w.Enable(kIdSettings, false);
  w.SetCheck(kIdSettings, 1);
  // The settings program posts its notifications to this window.
  const std::string arguments = services_.profile->SettingsArguments(static_cast<std::int32_t>(Id()));
  const std::uintptr_t start = ++settings_start_;
  const ui::WindowId self = Id();
  ui::Host* host = &ui::CurrentHost();
  const bool started = services_.settings->Start(
      arguments, [host, self, start] { host->Post(self, kMsgSettingsEnded, start, 0); });
  if (!started) FreeSettingsButton();
}

void MainDialog::FreeSettingsButton() {
  Window()->Enable(kIdSettings, true);
  Window()->SetCheck(kIdSettings, 0);
}

void MainDialog::OnSettingsNotify(int code, ui::WindowId window) {
  switch (code) {
    case SETTINGS_OPENED:
      if (settings_window_ == 0) {
        settings_window_ = window;
      } else if (!second_settings_box_up_) {
        // One box however many announce themselves meanwhile: each further
        // one would open inside the last.
        second_settings_box_up_ = true;
        ui::ShowMessage(text::kSecondSettings, ui::kMbOk | ui::kMbIconWarning, Id());
        second_settings_box_up_ = false;
      }
      break;
    case SETTINGS_SAVED:
      FreeSettingsButton();
      settings_window_ = 0;
      ReloadSettings();
      break;
    case SETTINGS_CANCELLED:
      FreeSettingsButton();
      settings_window_ = 0;
      break;
    case SETTINGS_APPLIED: ReloadSettings(); break;
    default: break;
  }
}

void MainDialog::CloseSettingsProgram() {
  if (settings_window_ == 0) return;
  const ui::WindowId window = settings_window_;
  settings_window_ = 0;
  services_.settings->Close(window);
}

std::intptr_t MainDialog::OnMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (msg == WM_SETTINGS_NOTIFY) {
    OnSettingsNotify(static_cast<int>(wparam), static_cast<ui::WindowId>(lparam));
  } else if (msg == kMsgSettingsEnded) {
    // The settings program we started has ended, with or without telling
    // us: the button is free again, and its window is gone.
    if (wparam == settings_start_) {
      FreeSettingsButton();
      if (settings_window_ != 0 && !ui::CurrentHost().WindowExists(settings_window_)) settings_window_ = 0;
    }
  }
  return 0;
}


}  // namespace qv::main
