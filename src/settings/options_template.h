// Dialog 103, the options dialog the settings dialog opens: its control ids
// and its template.
#pragma once

#include "ui/dialog_template.h"

namespace qv::settings {

inline constexpr int kOptionsDialogId = 103;

namespace opt {
inline constexpr int kFallback = 1101;
inline constexpr int kAgreement = 1102, kTolerance = 1103, kToleranceLabel = 1111, kToleranceUnit = 1112;
inline constexpr int kGuard = 1104, kGuardSeconds = 1105, kGuardUnit = 1113;
inline constexpr int kLocalZone = 1106;
inline constexpr int kNts = 1107, kTrustFile = 1108, kTrustFileLabel = 1114;
}  // namespace opt

const ui::DialogTemplate& OptionsTemplate();

}  // namespace qv::settings
