// Dialog templates of the Linux GUI tests beside the Windows tests' forms.
#pragma once

#include "ui/dialog_template.h"

namespace qv::fltktest {

using namespace ui::style;
using ui::ControlClass;

enum : int {
  kLabel = 200, kServer = 201, kLog = 202, kAdd = 203, kX = 204, kY = 205, kZ = 206, kList = 207,
  kProtocol = 208, kMinute = 209, kMinuteSpin = 210,
};

// A dialog in the manner of the settings program's.
inline ui::DialogTemplate KeysTemplate() {
  const std::uint32_t v = kVisible;
  ui::DialogTemplate t{902, 10, 10, 240, 120, kPopup | kCaption | kSysMenu | kMinimizeBox | kDsModalFrame | kDsSetFont,
                       "keys", "ＭＳ Ｐゴシック", 9, {}};
  auto& c = t.controls;
  c.push_back({kLabel, ControlClass::Static, "ｻｰﾊﾞ名(&N)", 4, 4, 44, 8, v | kSsLeft});
  c.push_back({kServer, ControlClass::ComboBox, "", 4, 13, 110, 100, v | kCbsDropDown | kCbsSort | kGroup | kTabStop});
  c.push_back({kLog, ControlClass::Button, "ﾛｸﾞﾌｧｲﾙ &L", 4, 32, 60, 10, v | kBsAutoCheckBox | kGroup | kTabStop});
  c.push_back({kAdd, ControlClass::Button, "追加 &A", 70, 30, 40, 14, v | kBsPushButton | kTabStop});
  c.push_back({kX, ControlClass::Button, "&X", 4, 48, 25, 10, v | kBsAutoRadio | kGroup | kTabStop});
  c.push_back({kY, ControlClass::Button, "&Y", 32, 48, 25, 10, v | kBsAutoRadio});
  c.push_back({-1, ControlClass::Static, "/", 58, 48, 6, 8, v});  // inside the group, not ending it
  c.push_back({kZ, ControlClass::Button, "&Z", 66, 48, 25, 10, v | kBsAutoRadio});
  c.push_back({kProtocol, ControlClass::ComboBox, "", 4, 64, 50, 47, v | kCbsDropDownList | kGroup | kTabStop});
  c.push_back({kMinute, ControlClass::Edit, "", 60, 64, 26, 12,
               v | kBorder | kEsRight | kEsAutoHScroll | kEsNumber | kGroup | kTabStop});
  c.push_back({kMinuteSpin, ControlClass::UpDown, "", 0, 0, 0, 0,
               v | kUdsWrap | kUdsSetBuddyInt | kUdsAlignRight | kUdsAutoBuddy | kUdsArrowKeys | kUdsNoThousands});
  c.push_back({ui::kIdOk, ControlClass::Button, "OK", 130, 100, 50, 14, v | kBsDefPushButton | kGroup | kTabStop});
  c.push_back({ui::kIdCancel, ControlClass::Button, "ｷｬﾝｾﾙ", 184, 100, 50, 14, v | kBsPushButton | kTabStop});
  return t;
}

}  // namespace qv::fltktest
