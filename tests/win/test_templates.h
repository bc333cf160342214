// Small dialog templates for the Windows host tests.
#pragma once

#include <string>

#include "ui/dialog_template.h"

namespace qv::wintest {

enum : int {
  kName = 100,      // edit, text
  kFirst = 101,     // edit, integer 1..10
  kSecond = 102,    // edit, integer 0..5
  kAgree = 103,     // auto check box
  kRadioA = 104,    // auto radio group 104..106
  kRadioB = 105,
  kRadioC = 106,
  kCombo = 107,     // drop-down combo box
  kList = 108,      // list box
  kSpin = 109,      // up-down control
  kHidden = 110,    // static, not visible
  kGreyed = 111,  // button, disabled
  kAction = 112,    // push button the tests give meaning to
  kLabel = 114,     // static with Japanese text
  kOtherCombo = 115,
};

inline constexpr const char* kFormCaption = "テスト ダイアログ";
inline constexpr const char* kLabelText = "サーバー時刻: ｷｬﾝｾﾙ";

inline ui::DialogTemplate FormTemplate(const std::string& face = "ＭＳ Ｐゴシック") {
  using ui::ControlClass;
  using namespace ui::style;
  const std::uint32_t v = kVisible;
  ui::DialogTemplate t{900, 0, 0, 220, 150, kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont,
                       kFormCaption, face, 9, {}};
  auto& c = t.controls;
  c.push_back({kName, ControlClass::Edit, "", 8, 8, 90, 12, v | kBorder | kTabStop | kEsAutoHScroll | kGroup});
  c.push_back({kFirst, ControlClass::Edit, "", 8, 24, 40, 12, v | kBorder | kTabStop});
  c.push_back({kSecond, ControlClass::Edit, "", 52, 24, 40, 12, v | kBorder | kTabStop});
  c.push_back({kAgree, ControlClass::Button, "同意する", 8, 40, 80, 10, v | kBsAutoCheckBox | kTabStop});
  c.push_back({kRadioA, ControlClass::Button, "A", 8, 54, 30, 10, v | kBsAutoRadio | kGroup | kTabStop});
  c.push_back({kRadioB, ControlClass::Button, "B", 40, 54, 30, 10, v | kBsAutoRadio});
  c.push_back({kRadioC, ControlClass::Button, "C", 72, 54, 30, 10, v | kBsAutoRadio});
  c.push_back({kCombo, ControlClass::ComboBox, "", 8, 68, 90, 60, v | kCbsDropDown | kGroup | kTabStop});
  c.push_back({kOtherCombo, ControlClass::ComboBox, "", 104, 68, 90, 60, v | kCbsDropDown | kTabStop});
  c.push_back({kList, ControlClass::ListBox, "", 120, 8, 90, 40, v | kBorder | kTabStop});
  c.push_back({kSpin, ControlClass::UpDown, "", 100, 24, 10, 12, v});
  c.push_back({kHidden, ControlClass::Static, "hidden", 8, 86, 40, 8, 0});
  c.push_back({kGreyed, ControlClass::Button, "無効", 52, 84, 40, 14, v | kDisabled | kBsPushButton});
  c.push_back({kAction, ControlClass::Button, "実行", 100, 84, 40, 14, v | kBsPushButton | kTabStop});
  c.push_back({kLabel, ControlClass::Static, kLabelText, 8, 104, 200, 10, v | kSsLeft | kSsNoPrefix});
  c.push_back({ui::kIdOk, ControlClass::Button, "OK", 110, 128, 50, 14, v | kBsDefPushButton | kTabStop});
  c.push_back({ui::kIdCancel, ControlClass::Button, "ｷｬﾝｾﾙ", 164, 128, 50, 14, v | kBsPushButton | kTabStop});
  return t;
}

// A bare dialog with OK and Cancel only.
inline ui::DialogTemplate SmallTemplate(const std::string& caption) {
  using ui::ControlClass;
  using namespace ui::style;
  ui::DialogTemplate t{901, 20, 20, 120, 40, kPopup | kCaption | kDsModalFrame | kDsSetFont,
                       caption, "ＭＳ Ｐゴシック", 9, {}};
  t.controls.push_back({ui::kIdOk, ControlClass::Button, "OK", 8, 18, 50, 14, kVisible | kBsDefPushButton | kTabStop});
  t.controls.push_back(
      {ui::kIdCancel, ControlClass::Button, "ｷｬﾝｾﾙ", 62, 18, 50, 14, kVisible | kBsPushButton | kTabStop});
  return t;
}

}  // namespace qv::wintest
