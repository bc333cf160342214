// Every control of dialog 103 at its place, in tab order. A field sits
// behind the check box it refines, indented under it or on its line.
#include "settings/options_template.h"

namespace qv::settings {

namespace {

using ui::ControlClass;
using namespace ui::style;

constexpr std::uint32_t kCheckBox = kVisible | kBsAutoCheckBox | kTabStop;
constexpr std::uint32_t kNumber = kVisible | kBorder | kEsRight | kEsAutoHScroll | kTabStop;
constexpr std::uint32_t kLabel = kVisible | kSsLeft;

ui::DialogTemplate Build() {
  ui::DialogTemplate t{kOptionsDialogId, 0, 0, 230, 153,
                       kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont,
                       "Options", "ＭＳ Ｐゴシック", 9, {}};
  auto& c = t.controls;
  auto control = [&](int id, ControlClass cls, const char* text, short x, short y, short cx, short cy,
                     std::uint32_t style) { c.push_back({id, cls, text, x, y, cx, cy, style}); };

  control(opt::kFallback, ControlClass::Button, "&Fall back to the other servers of the list", 7, 7, 216, 10,
          kCheckBox | kGroup);
  control(opt::kAgreement, ControlClass::Button, "Set the clock only when the servers &agree", 7, 22, 216, 10,
          kCheckBox);
  control(opt::kToleranceLabel, ControlClass::Static, "&within", 19, 37, 24, 8, kLabel);
  control(opt::kTolerance, ControlClass::Edit, "", 45, 35, 40, 12, kNumber);
  control(opt::kToleranceUnit, ControlClass::Static, "ms", 89, 37, 20, 8, kLabel);
  control(opt::kGuard, ControlClass::Button, "&Refuse a step larger than", 7, 53, 98, 10, kCheckBox);
  control(opt::kGuardSeconds, ControlClass::Edit, "", 107, 51, 50, 12, kNumber);
  control(opt::kGuardUnit, ControlClass::Static, "seconds", 161, 53, 40, 8, kLabel);
  control(opt::kLocalZone, ControlClass::Button, "Show times in this PC's &zone", 7, 69, 216, 10, kCheckBox);
  control(opt::kNts, ControlClass::Button, "Authenticate SNTP with &NTS", 7, 85, 216, 10, kCheckBox);
  control(opt::kTrustFileLabel, ControlClass::Static, "&Certificates to trust (empty: the system's)", 19, 100, 204,
          8, kLabel);
  control(opt::kTrustFile, ControlClass::Edit, "", 19, 110, 204, 12,
          kVisible | kBorder | kEsAutoHScroll | kTabStop);
  control(ui::kIdOk, ControlClass::Button, "OK", 119, 132, 50, 14,
          kVisible | kBsDefPushButton | kTabStop | kGroup);
  control(ui::kIdCancel, ControlClass::Button, "Cancel", 173, 132, 50, 14, kVisible | kBsPushButton | kTabStop);
  return t;
}

}  // namespace

const ui::DialogTemplate& OptionsTemplate() {
  static const ui::DialogTemplate t = Build();
  return t;
}

}  // namespace qv::settings
