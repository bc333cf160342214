// Opening, loading, saving, OK, Cancel, Apply and the notifications of the
// settings dialog.
#include "engine/result_log.h"
#include "platform/ctime.h"
#include "settings/options_dialog.h"
#include "settings/settings_dialog.h"

#include "settings/settings_rules.h"
#include "settings/settings_template.h"
#include "settings/strings.h"

namespace qv::settings {

SettingsDialog::SettingsDialog(Services services, std::string profile_path, ui::WindowId main_window)
    : ui::Dialog(SettingsTemplate()),
      services_(std::move(services)),
      profile_path_(std::move(profile_path)),
      main_window_(main_window) {
  // Until loading, the data hold the dialog's own initial values: zero, no
  // radio button chosen, the reference check on at 24 hours.
  d_.time_out = 0;
  d_.retry_count = d_.retry_interval = 0;
  d_.retry_unit = d_.clock_format = d_.clock_position = -1;
}

namespace {
void Number(ui::DataExchange& dx, int control, int& value, const profile::FieldRange& range) {
  dx.IntRange(control, value, range.typed.low, range.typed.high);
}
}  // namespace

void SettingsDialog::DoDataExchange(ui::DataExchange& dx) {
  // The order of the reading: the first failing number field ends it.
  dx.Text(ctl::kPcTime, pc_time_);
  dx.Text(ctl::kServerTime, server_time_);
  dx.ComboText(ctl::kServer, d_.server);
  dx.Check(ctl::kLogFile, d_.log_file);
  dx.Check(ctl::kAutoTerminate, d_.auto_terminate);
  dx.Check(ctl::kAutoAdjust, d_.auto_adjust);
  dx.Check(ctl::kBeep, d_.beep);
  Number(dx, ctl::kTimeOut, d_.time_out, profile::kTimeOutRange);
  dx.Check(ctl::kIndicatorLine, d_.indicator_line);
  dx.Check(ctl::kDesktopLink, d_.desktop_link);
  dx.Check(ctl::kClockOn, d_.clock_on);
  dx.Check(ctl::kWindowPos, d_.window_pos);
  dx.Check(ctl::kRetry, d_.retry_on);
  Number(dx, ctl::kRetryCount, d_.retry_count, profile::kRetryCountRange);
  Number(dx, ctl::kRetryInterval, d_.retry_interval, profile::kRetryIntervalRange);
  dx.Radio(ctl::kUnitSeconds, d_.retry_unit);
  Number(dx, ctl::kHour, d_.adjust_hour, profile::kHourRange);
  dx.Check(ctl::kDaily, d_.adjust_on);
  dx.Check(ctl::kIconicStart, d_.iconic_start);
  dx.Check(ctl::kStartupLink, d_.startup_link);
  Number(dx, ctl::kMinute, d_.adjust_minute, profile::kMinuteRange);
  dx.Radio(ctl::kPositionDialog, d_.clock_position);
  dx.Check(ctl::kReferenceCheck, d_.reference_check);
  Number(dx, ctl::kReferenceHours, d_.reference_hours, profile::kReferenceHoursRange);
  dx.Radio(ctl::kFormatTime, d_.clock_format);
}

bool SettingsDialog::OnInitDialog() {
  ui::HostWindow& w = *Window();
  w.SetCaption(ui::LoadText(kStrCaption));
  w.SetIcon(kAppIcon);
  w.SetButtonIcon(ctl::kCheck, kCheckIcon);
  for (int protocol : {kSntp, kTime, kDaytime}) w.AddItem(ctl::kProtocol, std::string(ProtocolWord(protocol)));

  Notify(SETTINGS_OPENED);
  Load();
  ApplyDisplayRule();
  ApplyEnableRules();
  SetSpins();
  // Fold flips the flag: flipped once before, it lands on the loaded value.
  d_.dialog_size ^= 1;
  Fold();
  PlaceOverMainWindow();
  UpdateData(false);
  return true;
}

void SettingsDialog::Notify(int code) {
  // Posted, never sent: the main program may itself be waiting on us.
  if (main_window_ != 0)
    ui::CurrentHost().Post(main_window_, WM_SETTINGS_NOTIFY, static_cast<std::uintptr_t>(code), Id());
}

void SettingsDialog::Load() {
  const SettingsData loaded = services_.profile->Load();
  LoadServers(loaded);

  d_.protocol = loaded.protocol;
  Window()->Select(ctl::kProtocol, d_.protocol);

  // The rest; the profile's reading has already replaced whatever lies
  // outside a field's range.
  d_ = loaded;
  options_ = services_.profile->LoadOptions();
  ApplyShownZone();

  for (int id : {ctl::kOpenProfile, ctl::kOpenLog, ctl::kApply}) Window()->Show(id, false);
  option_buttons_ = 0;
  if (loaded.option_button == 1) ToggleOptionButtons();

  UpdateData(false);
  RefreshPreview();
}

bool SettingsDialog::Save() {
  if (!UpdateData(true)) return false;
  SettingsData out = d_;
  out.servers = Window()->Items(ctl::kServer);
  out.protocol = Window()->Selection(ctl::kProtocol);
  if (RefuseUnstorable(out.servers, out.server)) return false;
  const profile::ProfileResult saved = services_.profile->Save(out, options_);
  if (saved.ok) return true;
  // Nothing was written: say so and why, and stay open, rather than tell
  // the main program of a save that did not happen.
  ui::ShowMessage(FormatText(kStrSaveFailed, {profile_path_, saved.problem}), ui::kMbOk | ui::kMbIconWarning, Id());
  return false;
}

void SettingsDialog::Commit(int code) {
  if (!Save()) return;
  BringShortcutsInLine();
  Notify(code);
  if (code == SETTINGS_SAVED) EndDialog(ui::kIdOkResult);
}

void SettingsDialog::OnOK() { Commit(SETTINGS_SAVED); }

void SettingsDialog::OnCancel() {
  Notify(SETTINGS_CANCELLED);
  EndDialog(ui::kIdCancelResult);
}

// The options are the dialog's until its OK or Apply, as every other value
// is: a check and the running time already use them, Cancel drops them.
void SettingsDialog::OpenOptions() {
  OptionsDialog dialog(options_, Window()->WindowRect());
  if (dialog.DoModal(Id()) != ui::kIdOkResult) return;
  options_ = dialog.options();
  ApplyShownZone();
  if (d_.clock_on == 1) ShowTime();
}

void SettingsDialog::ApplyShownZone() {
  platform::SetShownZone(options_.local_zone == 1 ? platform::ShownZone::kOs : platform::ShownZone::kCRuntime);
}

void SettingsDialog::PlaceOverMainWindow() {
  ui::Host& host = ui::CurrentHost();
  if (main_window_ == 0 || !host.WindowExists(main_window_)) return;
  const ui::Rect own = Window()->WindowRect();
  ui::WindowPlacement placement;
  std::string error;
  ui::Rect anchor = own;  // unreadable placement: stay centred on ourselves
  if (host.PlacementOf(main_window_, placement, error))
    anchor = placement.normal;
  else
    ui::ShowMessage(error, ui::kMbOk | ui::kMbIconWarning, Id());
  const ui::Point at = PlaceOver(own, anchor, host.WorkArea());
  Window()->MoveWindow(at.x, at.y);
}

void SettingsDialog::OnCommand(int id) {
  switch (id) {
    case ctl::kApply: Commit(SETTINGS_APPLIED); break;
    case ctl::kOptions: OpenOptions(); break;
    case ctl::kCheck: CheckServer(); break;
    case ctl::kAdd: AddServer(); break;
    case ctl::kRemove: RemoveServer(); break;
    case ctl::kClockOn:
      UpdateData(true);
      ApplyDisplayRule();
      break;
    case ctl::kFormatTime: SetFormat(0); break;
    case ctl::kFormatDateTime: SetFormat(1); break;
    case ctl::kFormatDaytime: SetFormat(2); break;
    case ctl::kPositionDialog: SetPosition(0); break;
    case ctl::kPositionCaption: SetPosition(1); break;
    case ctl::kFold: Fold(); break;
    case ctl::kFillFromClock: FillFromClock(); break;
    case ctl::kDaily:
    case ctl::kRetry:
      UpdateData(true);
      ApplyEnableRules();
      RefreshPreview();
      UpdateData(false);
      break;
    case ctl::kIndicatorLine:
    case ctl::kLogFile:
    case ctl::kBeep:
    case ctl::kIconicStart:
    case ctl::kAutoTerminate:
    case ctl::kUnitSeconds:
    case ctl::kUnitMinutes:
    case ctl::kUnitHours: RefreshPreview(); break;
    case ctl::kReferenceCheck:
      UpdateData(true);
      ApplyProtocolRule();
      break;
    case ctl::kOpenProfile: services_.shell->Open(profile_path_, Id()); break;
    case ctl::kOpenLog: services_.shell->Open(engine::ResultLogPath(profile_path_), Id()); break;
    case ctl::kDeleteLog: DeleteLog(); break;
    default: ui::Dialog::OnCommand(id); break;
  }
}

void SettingsDialog::OnNotify(int control, ui::Notify code) {
  if (control == ctl::kProtocol && code == ui::Notify::kSelChange) {
    ProtocolChanged();
    return;
  }
  if (code != ui::Notify::kKillFocus) return;
  switch (control) {
    case ctl::kTimeOut:
    case ctl::kRetryCount:
    case ctl::kRetryInterval:
    case ctl::kHour:
    case ctl::kMinute: RefreshPreview(); break;
    default: break;
  }
}

}  // namespace qv::settings
