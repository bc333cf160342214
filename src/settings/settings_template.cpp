// Every control of dialog 102 at its place, in tab order.
#include "settings/settings_template.h"

namespace qv::settings {

namespace {

using ui::ControlClass;
using namespace ui::style;

constexpr std::uint32_t kVScroll = 0x00200000;  // WS_VSCROLL: the drop-down list scrolls
constexpr std::uint32_t kShown = kVisible;
constexpr std::uint32_t kCheckBox = kShown | kBsAutoCheckBox | kTabStop;
constexpr std::uint32_t kNumber = kShown | kBorder | kEsRight | kEsAutoHScroll | kTabStop;
constexpr std::uint32_t kSpin = kShown | kUdsWrap | kUdsSetBuddyInt | kUdsAlignRight | kUdsAutoBuddy | kUdsArrowKeys;
constexpr std::uint32_t kPreview = kShown | kSsCenter | kSsNoPrefix;
constexpr std::uint32_t kLabel = kShown | kSsLeft;
constexpr std::uint32_t kButton = kShown | kBsPushButton | kTabStop;

ui::DialogTemplate Build() {
  ui::DialogTemplate t{kSettingsDialogId, 0, 0, 327, 247,
                       kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont,
                       "Quorvel  <Setting>", "ＭＳ Ｐゴシック", 9, {}, kExAppWindow};
  auto& c = t.controls;
  auto control = [&](int id, ControlClass cls, const char* text, short x, short y, short cx, short cy,
                     std::uint32_t style) { c.push_back({id, cls, text, x, y, cx, cy, style}); };
  auto label = [&](int id, const char* text, short x, short y, short cx, short cy) {
    control(id, ControlClass::Static, text, x, y, cx, cy, kLabel);
  };
  // A number field and its up-down, which places itself at the field's right.
  auto number = [&](int id, int spin, short x, short y) {
    control(id, ControlClass::Edit, "", x, y, 26, 12, kNumber);
    control(spin, ControlClass::UpDown, "", static_cast<short>(x + 26), y, 10, 12, kSpin);
  };

  // The status-line preview.
  control(ctl::kPreviewLog, ControlClass::Static, "L", 0, 81, 8, 9, kPreview | kSsSunken | kGroup);
  control(ctl::kPreviewBeep, ControlClass::Static, "B", 10, 81, 8, 9, kPreview | kSsSunken);
  control(ctl::kPreviewIconic, ControlClass::Static, "i", 19, 81, 8, 9, kPreview | kSsSunken);
  control(ctl::kPreviewTimeOut, ControlClass::Static, "10s", 28, 81, 13, 9, kPreview | kSsSunken);
  control(ctl::kPreviewAutoEnd, ControlClass::Static, "自動終了", 42, 81, 29, 9, kPreview | kSsSunken);
  control(ctl::kPreviewAt, ControlClass::Static, "at", 76, 81, 8, 9, kPreview);
  control(ctl::kPreviewDaily, ControlClass::Static, "10:10", 84, 81, 23, 9, kPreview | kSsSunken);
  control(ctl::kPreviewRetry, ControlClass::Static, "ﾘﾄﾗｲ", 111, 81, 16, 9, kPreview);
  control(ctl::kPreviewCount, ControlClass::Static, "9/10", 128, 81, 18, 9, kPreview | kSsSunken);
  control(ctl::kPreviewInterval, ControlClass::Static, "99s", 146, 81, 15, 9, kPreview | kSsSunken);

  // Upper area.
  label(ui::kIdStatic, "ｻｰﾊﾞ名(&N)", 2, 2, 44, 8);
  control(ctl::kServer, ControlClass::ComboBox, "", 2, 11, 113, 100,
          kShown | kCbsDropDown | kCbsSort | kVScroll | kTabStop | kGroup);
  control(ctl::kAdd, ControlClass::Button, "追加 &A", 120, 4, 40, 14, kButton);
  control(ctl::kRemove, ControlClass::Button, "削除 &D", 120, 18, 40, 14, kButton);
  label(ui::kIdStatic, "ｻｰﾊﾞの時刻", 2, 28, 37, 8);
  control(ctl::kServerTime, ControlClass::Static, "", 2, 37, 113, 13, kShown | kSsLeft | kSsNoPrefix | kSsSunken);
  label(ui::kIdStatic, "ﾊﾟｿｺﾝの時刻", 2, 54, 39, 8);
  control(ctl::kPcTime, ControlClass::Static, "", 2, 63, 113, 13, kShown | kSsLeft | kSsNoPrefix | kSsSunken);
  control(ctl::kCheck, ControlClass::Button, " ﾁｪｯｸ &C", 120, 36, 40, 41, kButton | kBsIcon);
  label(ui::kIdStatic, "ﾌﾟﾛﾄｺﾙ &P", 168, 6, 28, 8);
  control(ctl::kProtocol, ControlClass::ComboBox, "", 204, 4, 37, 47,
          kShown | kCbsDropDownList | kVScroll | kTabStop | kGroup);
  control(ctl::kLogFile, ControlClass::Button, "ﾛｸﾞﾌｧｲﾙ &L", 168, 21, 47, 10, kCheckBox);
  control(ctl::kBeep, ControlClass::Button, "ｴﾗｰ時のﾌﾞｻﾞｰ音 &B", 168, 35, 72, 10, kCheckBox);
  control(ctl::kIconicStart, ControlClass::Button, "ｱｲｺﾝ状態で起動  &i", 168, 49, 71, 10, kCheckBox);
  label(ui::kIdStatic, "ﾀｲﾑｱｳﾄ &O", 168, 66, 31, 8);
  number(ctl::kTimeOut, ctl::kTimeOutSpin, 204, 64);
  label(ui::kIdStatic, "秒", 233, 66, 8, 8);
  control(ctl::kIndicatorLine, ControlClass::Button, "ｽﾃｰﾀｽ行を表示 &S", 168, 81, 67, 10, kCheckBox);
  control(ui::kIdOk, ControlClass::Button, "OK", 284, 4, 40, 18, kShown | kBsDefPushButton | kTabStop | kGroup);
  control(ui::kIdCancel, ControlClass::Button, "ｷｬﾝｾﾙ", 284, 22, 40, 18, kButton);
  control(ctl::kApply, ControlClass::Button, "適用", 284, 43, 40, 18, kButton);
  control(ctl::kFold, ControlClass::Button, "<詳細 &M>", 284, 78, 40, 14, kButton);
  // In the free space between Apply and the fold button: shown folded or not.
  control(ctl::kOptions, ControlClass::Button, "Op&tions...", 284, 62, 40, 14, kButton);
  control(ctl::kSeparator, ControlClass::Static, "", 2, 95, 323, 1, kShown | kDisabled | kSsEtchedHorz);

  // Detail area.
  control(ctl::kAutoTerminate, ControlClass::Button, "時刻を調整した後に自動で終了する", 5, 104, 120, 10,
          kCheckBox | kGroup);
  control(ctl::kAutoAdjust, ControlClass::Button, "ﾌﾟﾛｸﾞﾗﾑ起動時に自動で時刻を調整する", 5, 118, 128, 10,
          kCheckBox);
  label(ui::kIdStatic, "[SHIFT]ｷｰを押しながらﾌﾟﾛｸﾞﾗﾑを起動すると\nこのオプションは一時的に無視されます", 16, 132,
        139, 25);
  control(ctl::kDaily, ControlClass::Button, "毎日定時に調整する", 5, 160, 76, 10, kCheckBox);
  label(ctl::kAtLabel, "at", 8, 176, 8, 9);
  number(ctl::kHour, ctl::kHourSpin, 16, 174);
  label(ctl::kHourLabel, "時", 44, 176, 8, 8);
  number(ctl::kMinute, ctl::kMinuteSpin, 54, 174);
  label(ctl::kMinuteLabel, "分", 80, 176, 8, 8);
  control(ctl::kFillFromClock, ControlClass::Button, "現在時刻を入力", 91, 173, 59, 14, kButton);
  control(ctl::kRetry, ControlClass::Button, "失敗したらﾘﾄﾗｲする", 5, 202, 74, 10, kCheckBox);
  label(ctl::kRetryCountLabel, "回数", 17, 218, 15, 8);
  number(ctl::kRetryCount, ctl::kRetryCountSpin, 33, 216);
  label(ctl::kRetryTimesLabel, "回", 61, 218, 8, 8);
  label(ctl::kRetryIntervalLabel, "間隔", 17, 232, 15, 8);
  number(ctl::kRetryInterval, ctl::kRetryIntervalSpin, 33, 230);
  // One radio group; the bracket and bar labels inside it do not split it.
  label(ctl::kUnitOpen, "［", 62, 233, 8, 8);
  control(ctl::kUnitSeconds, ControlClass::Button, "秒", 69, 232, 17, 10, kShown | kBsAutoRadio | kTabStop | kGroup);
  label(ctl::kUnitBar1, "/", 89, 233, 8, 8);
  control(ctl::kUnitMinutes, ControlClass::Button, "分", 96, 232, 19, 10, kShown | kBsAutoRadio);
  label(ctl::kUnitBar2, "/", 117, 233, 8, 8);
  control(ctl::kUnitHours, ControlClass::Button, "時間", 124, 232, 25, 10, kShown | kBsAutoRadio);
  label(ctl::kUnitClose, "］", 150, 233, 8, 8);
  control(ctl::kReferenceCheck, ControlClass::Button, "SNTPｻｰﾊﾞの最終更新時間を考慮する", 168, 104, 124, 10,
          kCheckBox | kGroup);
  label(ui::kIdStatic, "", 168, 124, 8, 8);
  number(ctl::kReferenceHours, ctl::kReferenceHoursSpin, 179, 116);
  label(ctl::kReferenceLabel, "時間以内ならば信頼する", 208, 118, 74, 8);
  control(ctl::kClockOn, ControlClass::Button, "現在時刻を表示する", 168, 132, 73, 10, kCheckBox);
  label(ctl::kFormatLabel, "表示形式", 179, 145, 28, 8);
  control(ctl::kFormatTime, ControlClass::Button, "時間のみ", 179, 157, 40, 10,
          kShown | kBsAutoRadio | kTabStop | kGroup);
  control(ctl::kFormatDateTime, ControlClass::Button, "日付と時間", 179, 169, 45, 10, kShown | kBsAutoRadio);
  control(ctl::kFormatDaytime, ControlClass::Button, "daytime形式", 179, 181, 52, 10, kShown | kBsAutoRadio);
  control(ctl::kPositionDialog, ControlClass::Button, "ﾀﾞｲｱﾛｸﾞ内", 261, 157, 40, 10,
          kShown | kBsAutoRadio | kTabStop | kGroup);
  control(ctl::kPositionCaption, ControlClass::Button, "ﾀｲﾄﾙﾊﾞｰ", 261, 169, 42, 10, kShown | kBsAutoRadio);
  label(ctl::kPositionLabel, "表示位置", 261, 145, 28, 8);
  control(ctl::kWindowPos, ControlClass::Button, "前回のｳｲﾝﾄﾞｳ位置に起動", 168, 202, 93, 10, kCheckBox | kGroup);
  control(ctl::kDesktopLink, ControlClass::Button, "ﾃﾞｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄを作る", 168, 216, 90, 10, kCheckBox);
  control(ctl::kStartupLink, ControlClass::Button, "ｽﾀｰﾄｱｯﾌﾟに登録する", 168, 230, 75, 10, kCheckBox);
  control(ctl::kOpenProfile, ControlClass::Button, "PROFILEを開く", 264, 201, 60, 14, kButton);
  control(ctl::kOpenLog, ControlClass::Button, "ﾛｸﾞﾌｧｲﾙを開く", 264, 215, 60, 14, kButton);
  control(ctl::kDeleteLog, ControlClass::Button, "ﾛｸﾞﾌｧｲﾙを消去", 264, 230, 60, 14, kButton);
  return t;
}

}  // namespace

const ui::DialogTemplate& SettingsTemplate() {
  static const ui::DialogTemplate t = Build();
  return t;
}

}  // namespace qv::settings
