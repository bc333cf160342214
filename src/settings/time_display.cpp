// The check button and the running current-time display.
#include "engine/result_log.h"
#include "platform/clock.h"
#include "platform/ctime.h"
#include "profile/app_state.h"
#include "settings/settings_dialog.h"
#include "settings/settings_rules.h"
#include "settings/settings_template.h"
#include "settings/strings.h"

namespace qv::settings {

namespace {
constexpr std::uintptr_t kDisplayTimer = 1;
constexpr int kDisplayControls[] = {ctl::kFormatLabel,    ctl::kFormatTime,     ctl::kFormatDaytime,
                                    ctl::kFormatDateTime, ctl::kPositionLabel,  ctl::kPositionCaption,
                                    ctl::kPositionDialog};
}  // namespace

void SettingsDialog::CheckServer() {
  if (!UpdateData(true)) return;
  if (d_.server.empty()) {
    ui::ShowMessage(ui::LoadText(kStrNoServer), ui::kMbOk | ui::kMbIconWarning, Id());
    return;
  }
  server_time_ = ui::LoadText(kStrConnecting);
  UpdateData(false);

  // The dialog's values as they stand, the options dialog's too; nothing is saved.
  engine::Request request = engine::MakeRequest(
      d_.protocol, d_.server, d_.time_out, d_.beep, d_.reference_check, d_.reference_hours,
      profile::DebugSwitch() ? engine::DetailLogPath(profile_path_) : "", ui::LoadText(kStrHostNotFound));
  request.nts = options_.nts == 1;
  request.nts_trust_file = options_.nts_trust_file;
  const engine::Result result = services_.engine->Check(request);
  const engine::LogWrite logged = d_.log_file ? services_.engine->LogCheck(request, result) : engine::LogWrite::kNotAsked;
  if (logged == engine::LogWrite::kOpenFailed || result.detail_log == engine::LogWrite::kOpenFailed)
    ui::ShowMessage(engine::kLogOpenFailedText, ui::kMbOk | ui::kMbIconWarning, Id());

  server_time_ = engine::ServerTimeLine(result);
  pc_time_ = result.pc_time;
  UpdateData(false);
  // Let the check's PC time be read before the running display takes the
  // field again.
  if (d_.clock_on == 1 && services_.pause) services_.pause(1000);
}

void SettingsDialog::ApplyDisplayRule() {
  ui::HostWindow& w = *Window();
  const bool on = d_.clock_on == 1;
  if (on) {
    if (display_timer_ == 0) display_timer_ = w.SetTimer(kDisplayTimer, 1000);
    ShowTime();
  } else {
    if (display_timer_ != 0 && w.KillTimer(display_timer_)) display_timer_ = 0;
    w.SetText(ctl::kPcTime, "");
    w.SetCaption(ui::LoadText(kStrCaption));
  }
  for (int id : kDisplayControls) w.Enable(id, on);
}

void SettingsDialog::ShowTime() {
  const std::int64_t ticks = platform::SystemClock().UtcFileTime() - platform::kFileTimeUnixEpoch;
  std::int64_t seconds = ticks / platform::kFileTicksPerSecond;
  if (ticks < 0 && ticks % platform::kFileTicksPerSecond != 0) --seconds;
  // In the C runtime's zone: the TZ the main program handed down.
  const std::string text = platform::FormatCTime(seconds, ClockFormat(d_.clock_format));
  if (d_.clock_position == 0)
    Window()->SetText(ctl::kPcTime, text);
  else if (d_.clock_position == 1)
    Window()->SetCaption(text);
}

void SettingsDialog::OnTimer(std::uintptr_t id) {
  if (id == kDisplayTimer) ShowTime();
}

void SettingsDialog::SetFormat(int format) {
  d_.clock_format = format;
  ApplyDisplayRule();
}

void SettingsDialog::SetPosition(int position) {
  if (position == 1)
    Window()->SetText(ctl::kPcTime, "");
  else
    Window()->SetCaption(ui::LoadText(kStrCaption));
  d_.clock_position = position;
  ApplyDisplayRule();
}

}  // namespace qv::settings
