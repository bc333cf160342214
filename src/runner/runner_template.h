// Dialog 550, the query runner's countdown dialog, in its two variants.
#pragma once

#include "ui/dialog_template.h"

namespace qv::runner {

enum class Variant {
  kMain,      // with the three hidden thread buttons below the visible area
  kSettings,  // without them; a slightly shorter Cancel button
};

inline constexpr int kRunnerDialogId = 550;
inline constexpr int kIdServerText = 551;
inline constexpr int kIdCountdown = 552;
inline constexpr int kIdSuspend = 1031;
inline constexpr int kIdResume = 1032;
inline constexpr int kIdTerminate = 1033;
inline constexpr int kRunnerCaptionString = 131;

const ui::DialogTemplate& RunnerTemplate(Variant variant);

}  // namespace qv::runner
