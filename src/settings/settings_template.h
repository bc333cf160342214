// Dialog 102, the settings dialog: its control ids and its template.
#pragma once

#include "ui/dialog_template.h"

namespace qv::settings {

inline constexpr int kSettingsDialogId = 102;
inline constexpr int kAppIcon = 128;    // window and task bar
inline constexpr int kCheckIcon = 139;  // on the check button

// Control ids.
namespace ctl {
// upper area
inline constexpr int kServer = 1002, kAdd = 1008, kRemove = 1009;
inline constexpr int kServerTime = 1001, kPcTime = 1003, kCheck = 1000;
inline constexpr int kProtocol = 1080, kLogFile = 1016, kBeep = 1017, kIconicStart = 1007;
inline constexpr int kTimeOut = 1035, kTimeOutSpin = 1036, kIndicatorLine = 1018;
inline constexpr int kApply = 1065, kFold = 1032, kSeparator = 1057;
inline constexpr int kOptions = 1096;  // opens the options dialog
// the status-line preview, left to right as the main program shows it
inline constexpr int kPreviewLog = 1070, kPreviewBeep = 1071, kPreviewIconic = 1072, kPreviewTimeOut = 1073,
                     kPreviewAutoEnd = 1074, kPreviewAt = 1075, kPreviewRetry = 1076, kPreviewCount = 1077,
                     kPreviewInterval = 1078, kPreviewDaily = 1079;
// detail area
inline constexpr int kAutoTerminate = 1005, kAutoAdjust = 1004;
inline constexpr int kDaily = 1006, kHour = 1043, kHourSpin = 1044, kMinute = 1045, kMinuteSpin = 1046;
inline constexpr int kFillFromClock = 1031, kAtLabel = 1093, kHourLabel = 1094, kMinuteLabel = 1095;
inline constexpr int kRetry = 1013, kRetryCount = 1039, kRetryCountSpin = 1040, kRetryInterval = 1041,
                     kRetryIntervalSpin = 1042;
inline constexpr int kUnitSeconds = 1059, kUnitMinutes = 1060, kUnitHours = 1061;
inline constexpr int kRetryCountLabel = 1086, kRetryTimesLabel = 1087, kRetryIntervalLabel = 1088,
                     kUnitOpen = 1089, kUnitBar1 = 1090, kUnitBar2 = 1091, kUnitClose = 1092;
inline constexpr int kReferenceCheck = 1084, kReferenceHours = 1056, kReferenceHoursSpin = 1058,
                     kReferenceLabel = 1085;
inline constexpr int kClockOn = 1048, kFormatLabel = 1083, kFormatTime = 1050, kFormatDateTime = 1053,
                     kFormatDaytime = 1051;
inline constexpr int kPositionLabel = 1082, kPositionDialog = 1055, kPositionCaption = 1054;
inline constexpr int kWindowPos = 1049, kDesktopLink = 1047, kStartupLink = 1052;
inline constexpr int kOpenProfile = 1064, kOpenLog = 1067, kDeleteLog = 1066;
}  // namespace ctl

const ui::DialogTemplate& SettingsTemplate();

}  // namespace qv::settings
