#include "runner/runner_template.h"

namespace qv::runner {

namespace {
using ui::ControlClass;
using namespace ui::style;

constexpr std::uint32_t kShown = kVisible;

ui::DialogTemplate Build(Variant variant) {
  const bool main = variant == Variant::kMain;
  ui::DialogTemplate t{kRunnerDialogId, 0, 0, 162, 33,
                       kPopup | kCaption | kDsModalFrame | kDsSetFont,
                       "", "ＭＳ Ｐゴシック", 9, {}};
  auto& c = t.controls;
  c.push_back({ui::kIdStatic, ControlClass::Static, "", 2, 2, 157, 29, kShown | kSsEtchedFrame});
  c.push_back({kIdServerText, ControlClass::Static, "", 8, 7, 145, 8, kShown | kSsCenter | kSsCenterImage});
  c.push_back({ui::kIdCancel, ControlClass::Button, "ｷｬﾝｾﾙ", 63, 18, 37, static_cast<short>(main ? 15 : 14),
               kShown | kBsPushButton | kTabStop});
  c.push_back({ui::kIdStatic, ControlClass::Static, "sec.", 145, 22, 12, 8, kShown | kSsRight});
  c.push_back({kIdCountdown, ControlClass::Static, "00", 128, 22, 16, 8, kShown | kSsRight | kSsCenterImage});
  if (main) {
    c.push_back({kIdSuspend, ControlClass::Button, "Suspend", 5, 39, 50, 16, kShown | kDisabled | kBsPushButton});
    c.push_back({kIdResume, ControlClass::Button, "Resume", 56, 39, 50, 16, kShown | kDisabled | kBsPushButton});
    c.push_back(
        {kIdTerminate, ControlClass::Button, "Terminate", 107, 39, 50, 16, kShown | kDisabled | kBsPushButton});
  }
  c.push_back({ui::kIdStatic, ControlClass::Static, "connecting...", 2, 0, 37, 8, kShown | kSsLeft});
  return t;
}
}  // namespace

const ui::DialogTemplate& RunnerTemplate(Variant variant) {
  static const ui::DialogTemplate main_template = Build(Variant::kMain);
  static const ui::DialogTemplate settings_template = Build(Variant::kSettings);
  return variant == Variant::kMain ? main_template : settings_template;
}

}  // namespace qv::runner
