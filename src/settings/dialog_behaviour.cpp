// The live rules of the settings dialog: the detail fold, which controls
// are enabled, the protocol rule, the status-line preview, the option
// buttons, the spin ranges and the fill from the clock.
#include <utility>

#include "platform/clock.h"
#include "settings/settings_dialog.h"
#include "settings/settings_rules.h"
#include "settings/settings_template.h"
#include "settings/strings.h"

namespace qv::settings {

namespace {

// Shown only while the detail area is, so that the keyboard cannot reach
// them behind the window's edge; the other controls there are just cut off.
constexpr int kDetailControls[] = {
    ctl::kClockOn,      ctl::kFormatTime,   ctl::kFormatDateTime,  ctl::kFormatDaytime, ctl::kPositionCaption,
    ctl::kPositionDialog, ctl::kPositionLabel, ctl::kWindowPos,    ctl::kDesktopLink,   ctl::kStartupLink,
    ctl::kAutoAdjust,   ctl::kDeleteLog,    ctl::kDaily,           ctl::kHour,          ctl::kHourSpin,
    ctl::kMinute,       ctl::kMinuteSpin,   ctl::kFillFromClock,   ctl::kRetry,         ctl::kRetryCount,
    ctl::kRetryCountSpin, ctl::kRetryInterval, ctl::kRetryIntervalSpin, ctl::kUnitSeconds, ctl::kUnitMinutes,
    ctl::kUnitHours,    ctl::kAutoTerminate, ctl::kReferenceCheck, ctl::kReferenceHours, ctl::kReferenceLabel};

constexpr int kOptionButtons[] = {ctl::kOpenProfile, ctl::kOpenLog, ctl::kApply};

// Enabled with daily adjustment, and with retry. Each field's up-down goes
// with it: an arrow must not change a field the user cannot edit.
constexpr int kDailyControls[] = {ctl::kHour,      ctl::kHourSpin,  ctl::kMinute,      ctl::kMinuteSpin,
                                  ctl::kFillFromClock, ctl::kAtLabel, ctl::kHourLabel, ctl::kMinuteLabel};
constexpr int kRetryControls[] = {ctl::kRetryCount,      ctl::kRetryCountSpin, ctl::kRetryInterval,
                                  ctl::kRetryIntervalSpin, ctl::kUnitSeconds, ctl::kUnitMinutes,
                                  ctl::kUnitHours,       ctl::kRetryCountLabel, ctl::kRetryTimesLabel,
                                  ctl::kRetryIntervalLabel, ctl::kUnitOpen,   ctl::kUnitBar1,
                                  ctl::kUnitBar2,        ctl::kUnitClose};

constexpr int kPreviewLabels[] = {ctl::kPreviewLog,   ctl::kPreviewBeep,  ctl::kPreviewIconic,  ctl::kPreviewTimeOut,
                                  ctl::kPreviewAutoEnd, ctl::kPreviewAt, ctl::kPreviewRetry, ctl::kPreviewCount,
                                  ctl::kPreviewInterval, ctl::kPreviewDaily};

}  // namespace

void SettingsDialog::Fold() {
  ui::HostWindow& w = *Window();
  d_.dialog_size ^= 1;
  const bool shown = d_.dialog_size != 0;
  if (!full_rect_) {
    full_rect_ = w.WindowRect();
    folded_bottom_ = w.ControlRect(ctl::kSeparator).top;
  }
  w.ResizeWindow(full_rect_->Width(), shown ? full_rect_->Height() : folded_bottom_ - full_rect_->top);
  for (int id : kDetailControls) w.Show(id, shown);
  if (option_buttons_)
    for (int id : kOptionButtons) w.Show(id, shown);
  ApplyEnableRules();
  ApplyProtocolRule();
  w.SetText(ctl::kFold, ui::LoadText(shown ? kStrDetailShown : kStrDetailFolded));
}

void SettingsDialog::ApplyEnableRules() {
  ui::HostWindow& w = *Window();
  const bool shown = d_.dialog_size != 0;
  w.Enable(ctl::kDaily, shown);
  w.Enable(ctl::kRetry, shown);
  for (int id : kDailyControls) w.Enable(id, shown && d_.adjust_on != 0);
  for (int id : kRetryControls) w.Enable(id, shown && d_.retry_on != 0);
}

void SettingsDialog::ApplyProtocolRule() {
  ui::HostWindow& w = *Window();
  const bool sntp = d_.protocol == kSntp;
  w.Enable(ctl::kReferenceCheck, sntp);
  for (int id : {ctl::kReferenceHours, ctl::kReferenceHoursSpin, ctl::kReferenceLabel})
    w.Enable(id, sntp && d_.reference_check != 0);
}

void SettingsDialog::ProtocolChanged() {
  const int selected = Window()->Selection(ctl::kProtocol);
  d_.protocol = selected == kTime || selected == kDaytime ? selected : kSntp;
  // Back on SNTP the reference check box counts again, as it stands now.
  if (d_.protocol == kSntp) UpdateData(true);
  ApplyProtocolRule();
}

void SettingsDialog::RefreshPreview() {
  // From the controls as they stand, not from the data.
  ui::HostWindow& w = *Window();
  const bool on = w.Check(ctl::kIndicatorLine) == 1;
  for (int id : kPreviewLabels) w.Show(id, on);
  const auto checked = [&](int id) { return w.Check(id) == 1; };
  w.Enable(ctl::kPreviewLog, checked(ctl::kLogFile));
  w.Enable(ctl::kPreviewBeep, checked(ctl::kBeep));
  w.Enable(ctl::kPreviewIconic, checked(ctl::kIconicStart));
  w.Enable(ctl::kPreviewTimeOut, true);
  w.Enable(ctl::kPreviewAutoEnd, checked(ctl::kAutoTerminate));
  for (int id : {ctl::kPreviewAt, ctl::kPreviewDaily}) w.Enable(id, checked(ctl::kDaily));
  for (int id : {ctl::kPreviewRetry, ctl::kPreviewCount, ctl::kPreviewInterval}) w.Enable(id, checked(ctl::kRetry));

  w.SetText(ctl::kPreviewTimeOut, w.Text(ctl::kTimeOut) + "s");
  w.SetText(ctl::kPreviewDaily, w.Text(ctl::kHour) + ":" + w.Text(ctl::kMinute));
  w.SetText(ctl::kPreviewCount, w.Text(ctl::kRetryCount) + ui::LoadText(kStrTimes));
  const char* unit = checked(ctl::kUnitSeconds)   ? "s"
                     : checked(ctl::kUnitMinutes) ? "m"
                     : checked(ctl::kUnitHours)   ? "h"
                                                  : "";
  w.SetText(ctl::kPreviewInterval, w.Text(ctl::kRetryInterval) + unit);
}

void SettingsDialog::ToggleOptionButtons() {
  option_buttons_ ^= 1;
  for (int id : kOptionButtons) Window()->Show(id, option_buttons_ != 0);
}

void SettingsDialog::SetSpins() {
  ui::HostWindow& w = *Window();
  const std::pair<int, const profile::FieldRange&> spins[] = {
      {ctl::kTimeOutSpin, profile::kTimeOutRange},       {ctl::kHourSpin, profile::kHourRange},
      {ctl::kMinuteSpin, profile::kMinuteRange},         {ctl::kRetryCountSpin, profile::kRetryCountRange},
      {ctl::kRetryIntervalSpin, profile::kRetryIntervalRange}, {ctl::kReferenceHoursSpin, profile::kReferenceHoursRange}};
  for (const auto& [spin, range] : spins) w.SetSpinRange(spin, range.spin.low, range.spin.high);
  // Held down, the long ranges speed up.
  const std::vector<ui::SpinAccel> fast{{1, 1}, {3, 5}};
  w.SetSpinAccel(ctl::kMinuteSpin, fast);
  w.SetSpinAccel(ctl::kRetryIntervalSpin, fast);
}

void SettingsDialog::FillFromClock() {
  UpdateData(true);
  const platform::SystemTime now = platform::SystemClock().LocalTime();
  const HourMinute next = NextMinute(now.hour, now.minute);
  d_.adjust_hour = next.hour;
  d_.adjust_minute = next.minute;
  UpdateData(false);
}

}  // namespace qv::settings
