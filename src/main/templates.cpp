#include "main/templates.h"

namespace qv::main {

namespace {

using ui::ControlClass;
using namespace ui::style;

constexpr const char* kFace = "ＭＳ Ｐゴシック";
constexpr std::uint32_t kShown = kVisible;
// Read-outs and status indicators: text centred both ways.
constexpr std::uint32_t kCentred = kShown | kSsCenter | kSsCenterImage;
constexpr std::uint32_t kIndicator = kCentred | kSsSunken;
constexpr std::uint32_t kLabel = kShown | kSsLeft;

ui::ControlTemplate Static(int id, const char* text, short x, short y, short cx, short cy, std::uint32_t style) {
  return {id, ControlClass::Static, text, x, y, cx, cy, style};
}
ui::ControlTemplate Button(int id, const char* text, short x, short y, short cx, short cy, std::uint32_t style) {
  return {id, ControlClass::Button, text, x, y, cx, cy, style};
}

ui::DialogTemplate BuildAbout() {
  ui::DialogTemplate t{kAboutDialogId, 0, 0, 223, 47, kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont,
                       "", kFace, 9, {}};
  // The program's icon, named by its number as a resource script names it.
  static_assert(kIconProgram == 100);
  t.controls.push_back(Static(ui::kIdStatic, "#100", 8, 7, 20, 21, kShown | kSsIcon));
  t.controls.push_back(Static(kIdAboutName, "", 38, 8, 180, 8, kShown | kSsLeft | kSsNoPrefix));
  t.controls.push_back(Static(kIdAboutNotice, "", 38, 19, 139, 8, kLabel));
  t.controls.push_back(Static(kIdAboutMaker, "", 7, 34, 209, 10, kShown | kSsCenter | kSsSunken));
  t.controls.push_back(Button(ui::kIdOk, "OK", 180, 10, 36, 14, kShown | kBsDefPushButton | kTabStop | kGroup));
  return t;
}

ui::DialogTemplate BuildMain() {
  ui::DialogTemplate t{kMainDialogId, 0, 0, 162, 93,
                       kPopup | kCaption | kSysMenu | kMinimizeBox | kDsModalFrame | kDs3dLook | kDsSetFont,
                       "Quorvel", kFace, 9, {}};
  t.ex_style = kExAppWindow;
  auto& c = t.controls;
  c.push_back(Static(ui::kIdStatic, "ｻｰﾊﾞ名(&N)", 2, 2, 44, 8, kLabel));
  c.push_back(Static(kIdServerName, "-", 2, 11, 83, 12, kCentred));
  c.push_back(Static(ui::kIdStatic, "ﾌﾟﾛﾄｺﾙ", 88, 2, 22, 8, kLabel));
  c.push_back(Static(kIdProtocolName, "-", 86, 11, 29, 12, kCentred));
  c.push_back(Static(ui::kIdStatic, "ｻｰﾊﾞの時刻", 2, 28, 37, 8, kLabel));
  c.push_back(Static(kIdServerTime, "-", 2, 37, 113, 12, kCentred));
  c.push_back(Static(ui::kIdStatic, "ﾊﾟｿｺﾝの時刻", 2, 54, 39, 8, kLabel));
  c.push_back(Static(kIdPcTime, "-", 2, 63, 113, 12, kCentred));
  c.push_back(Button(kIdAdjust, "調整 &J", 120, 0, 40, 33, kShown | kBsDefPushButton | kBsIcon | kTabStop | kGroup));
  c.push_back(Button(kIdCheck, "ﾁｪｯｸ &C", 120, 35, 40, 12, kShown | kBsPushButton | kBsFlat | kTabStop));
  c.push_back(Button(kIdSettings, "設定 &E..", 120, 49, 40, 12,
                     kShown | kBsAuto3State | kBsPushLike | kBsFlat | kTabStop));
  c.push_back(Button(ui::kIdOk, "閉じる &X", 120, 63, 40, 12, kShown | kBsPushButton | kBsFlat | kTabStop));
  c.push_back(Static(kIdLogFile, "L", 1, 81, 8, 9, kIndicator));
  c.push_back(Static(kIdBeep, "B", 10, 81, 8, 9, kIndicator));
  c.push_back(Static(kIdIconicStart, "i", 19, 81, 8, 9, kIndicator));
  c.push_back(Static(kIdTimeOut, "10s", 28, 81, 13, 9, kIndicator));
  c.push_back(Static(kIdAutoTerminate, "自動終了", 42, 81, 29, 9, kIndicator));
  c.push_back(Static(kIdDailyLabel, "at", 76, 81, 8, 9, kCentred));
  c.push_back(Static(kIdDailyTime, "hh:mm", 84, 81, 23, 9, kIndicator));
  c.push_back(Static(kIdRetryLabel, "ﾘﾄﾗｲ", 111, 81, 16, 9, kCentred));
  c.push_back(Static(kIdRetryCount, "9/10", 128, 81, 18, 9, kIndicator));
  c.push_back(Static(kIdRetryInterval, "99s", 146, 81, 15, 9, kIndicator));
  c.push_back(Static(kIdFoldMarker, "", 0, 81, 1, 1, kSsEtchedFrame));
  c.push_back(Button(kIdVoice, "ﾎﾞｲｽ &V", 82, 51, 33, 10, kBsAutoCheckBox | kTabStop));
  return t;
}

ui::DialogTemplate BuildNotice() {
  ui::DialogTemplate t{kNoticeDialogId, 0, 0, 133, 33, kPopup | kCaption | kDsModalFrame | kDsSetFont,
                       "", kFace, 9, {}};
  t.controls.push_back(Static(ui::kIdStatic, "", 2, 2, 128, 29, kShown | kSsEtchedFrame));
  t.controls.push_back(Static(kIdNoticeFirst, "", 10, 7, 110, 8, kShown | kSsCenter));
  t.controls.push_back(Static(kIdNoticeSecond, "", 10, 19, 110, 8, kShown | kSsCenter));
  return t;
}

}  // namespace

const ui::DialogTemplate& AboutTemplate() {
  static const ui::DialogTemplate t = BuildAbout();
  return t;
}
const ui::DialogTemplate& MainTemplate() {
  static const ui::DialogTemplate t = BuildMain();
  return t;
}
const ui::DialogTemplate& NoticeTemplate() {
  static const ui::DialogTemplate t = BuildNotice();
  return t;
}

}  // namespace qv::main
