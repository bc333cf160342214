// The main program's dialogs as data: the about box (510), the main dialog
// (512) and the notice (522), with their control ids.
#pragma once

#include "ui/dialog_template.h"

namespace qv::main {

inline constexpr int kAboutDialogId = 510;
inline constexpr int kMainDialogId = 512;
inline constexpr int kNoticeDialogId = 522;

// Icons.
inline constexpr int kIconProgram = 100;
inline constexpr int kIconAdjust = 501;

// Dialog 510.
inline constexpr int kIdAboutName = 1051;
inline constexpr int kIdAboutNotice = 1053;
inline constexpr int kIdAboutMaker = 1054;

// Dialog 512.
inline constexpr int kIdServerName = 1034;
inline constexpr int kIdProtocolName = 1035;
inline constexpr int kIdServerTime = 1001;
inline constexpr int kIdPcTime = 1003;
inline constexpr int kIdAdjust = 1013;
inline constexpr int kIdCheck = 1000;
inline constexpr int kIdSettings = 1005;
inline constexpr int kIdLogFile = 1039;
inline constexpr int kIdBeep = 1041;
inline constexpr int kIdIconicStart = 1044;
inline constexpr int kIdTimeOut = 1042;
inline constexpr int kIdAutoTerminate = 1038;
inline constexpr int kIdDailyLabel = 1051;
inline constexpr int kIdDailyTime = 1040;
inline constexpr int kIdRetryLabel = 1049;
inline constexpr int kIdRetryCount = 1047;
inline constexpr int kIdRetryInterval = 1050;
inline constexpr int kIdFoldMarker = 1043;
inline constexpr int kIdVoice = 1004;

// Dialog 522.
inline constexpr int kIdNoticeFirst = 1018;
inline constexpr int kIdNoticeSecond = 1019;

const ui::DialogTemplate& AboutTemplate();
const ui::DialogTemplate& MainTemplate();
const ui::DialogTemplate& NoticeTemplate();

}  // namespace qv::main
