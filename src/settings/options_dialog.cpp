#include "settings/options_dialog.h"

#include "base/text.h"
#include "settings/options_template.h"
#include "settings/settings_rules.h"
#include "settings/strings.h"

namespace qv::settings {

namespace {

// The number that refines an option. While the option is off its field is
// disabled, so what it holds cannot stop OK: a number within the range is
// kept, anything else leaves the value as it was.
void Number(ui::DataExchange& dx, ui::HostWindow& w, int control, int& value, const profile::FieldRange& range,
            int option_on) {
  if (!dx.saving() || option_on == 1) {
    dx.IntRange(control, value, range.typed.low, range.typed.high);
    return;
  }
  if (dx.failed()) return;
  if (const auto typed = ParseTypedInt(w.Text(control)); typed && range.typed.Holds(*typed)) value = *typed;
}

}  // namespace

OptionsDialog::OptionsDialog(const profile::ServerOptions& options, const ui::Rect& over)
    : ui::Dialog(OptionsTemplate()), o_(options), over_(over) {}

void OptionsDialog::DoDataExchange(ui::DataExchange& dx) {
  ui::HostWindow& w = *Window();
  dx.Check(opt::kFallback, o_.fallback);
  dx.Check(opt::kAgreement, o_.agreement);
  Number(dx, w, opt::kTolerance, o_.agreement_tolerance_ms, profile::kAgreementToleranceRange, o_.agreement);
  dx.Check(opt::kGuard, o_.offset_guard);
  Number(dx, w, opt::kGuardSeconds, o_.offset_guard_seconds, profile::kOffsetGuardRange, o_.offset_guard);
  dx.Check(opt::kLocalZone, o_.local_zone);
  dx.Check(opt::kNts, o_.nts);
  dx.Text(opt::kTrustFile, o_.nts_trust_file);
}

bool OptionsDialog::OnInitDialog() {
  // Over the settings dialog, as that one opens over the main window.
  const ui::Point at = PlaceOver(Window()->WindowRect(), over_, ui::CurrentHost().WorkArea());
  Window()->MoveWindow(at.x, at.y);
  UpdateData(false);
  ApplyEnableRules();
  return true;
}

void OptionsDialog::ApplyEnableRules() {
  ui::HostWindow& w = *Window();
  const struct {
    int option;
    int controls[3];
  } rules[] = {{opt::kAgreement, {opt::kToleranceLabel, opt::kTolerance, opt::kToleranceUnit}},
               {opt::kGuard, {opt::kGuardSeconds, opt::kGuardUnit, 0}},
               {opt::kNts, {opt::kTrustFileLabel, opt::kTrustFile, 0}}};
  for (const auto& rule : rules) {
    const bool on = w.Check(rule.option) == 1;
    for (int id : rule.controls)
      if (id != 0) w.Enable(id, on);
  }
}

void OptionsDialog::OnCommand(int id) {
  switch (id) {
    case opt::kAgreement:
    case opt::kGuard:
    case opt::kNts: ApplyEnableRules(); break;
    default: ui::Dialog::OnCommand(id); break;
  }
}

void OptionsDialog::OnExchangeFailure(const ui::ExchangeFailure& failure) {
  const int field = failure.control == opt::kTolerance ? kStrToleranceField : kStrGuardField;
  ui::ShowMessage(FormatText(kStrOptionRange, {ui::LoadText(field), std::to_string(failure.min),
                                               std::to_string(failure.max)}),
                  ui::kMbOk | ui::kMbIconWarning, Id());
  Window()->Focus(failure.control);
}

}  // namespace qv::settings
