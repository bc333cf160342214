// The main program's string table, and the fixed texts it shows that have
// no number.
#pragma once

#include "ui/dialog_template.h"

namespace qv::main {

const ui::StringTable& Strings();

// Numbers of the table's entries.
inline constexpr int kStrSocketsFailed = 111;
inline constexpr int kStrHostNotFound = 112;
inline constexpr int kStrNoServer = 114;
inline constexpr int kStrAlreadyRunning = 115;
inline constexpr int kStrSettingsProgram = 121;
inline constexpr int kStrAutoTerminate = 124;
inline constexpr int kStrEscToCancel = 125;
inline constexpr int kStrProductName = 131;
inline constexpr int kStrAboutCaption = 132;
inline constexpr int kStrVersion = 133;
inline constexpr int kStrAboutNotice = 134;
inline constexpr int kStrAboutMaker = 136;
inline constexpr int kStrAboutMenuItem = 511;
// An adjustment beyond the offset guard, put to the user: %1 the step in
// seconds, %2 the guard's limit.
inline constexpr int kStrConfirmStep = 141;

namespace text {
inline constexpr const char* kCannotSetTz = "can't set putenv().";
inline constexpr const char* kDialupRefused = "ﾀﾞｲｱﾙｱｯﾌﾟに接続されていません。";
inline constexpr const char* kConnecting = "connecting...";
inline constexpr const char* kAdjusted = "<< ADJUSTED!! >>";
inline constexpr const char* kErrorMark = "<< ERROR!! >>";
inline constexpr const char* kClosing = "終了します。";
inline constexpr const char* kSecondSettings = "ZevAde is already running.";
inline constexpr const char* kTimerKilled = "timerID=%i is killed";
// The single-instance lock could not be made; the reason follows.
inline constexpr const char* kNoInstanceLock = "Can not check for another running instance: ";
}  // namespace text

}  // namespace qv::main
