// The settings program's string table.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "ui/dialog_template.h"

namespace qv::settings {

// Texts by number; 103 to 132 are the program's long-standing numbers, 140
// and up were added with the program's later texts.
enum StringId : int {
  kStrSocketFailed = 103,
  kStrHostNotFound = 106,
  kStrNoServer = 105,
  kStrStartedAlone = 107,
  kStrCaption = 131,
  kStrShortcutName = 132,
  kStrSaveFailed = 140,     // %s: the profile, %s: why
  kStrDeleteLog = 141,      // %s: the log
  kStrDetailShown = 142,    // the fold button while the detail area shows
  kStrDetailFolded = 143,   // ... while it is folded
  kStrConnecting = 144,     // the server time field while a check runs
  kStrTimes = 145,          // after the retry count in the preview
  kStrNameLineBreak = 146,  // a server name the profile cannot hold; %s: the name
  kStrNameNotALine = 147,   // ... %s: the name
  kStrNameCodePage = 148,   // ... %s: the name, %s: the character
  kStrOptionRange = 150,    // a number of the options dialog; %s: the field, %s: low, %s: high
  kStrToleranceField = 151,
  kStrGuardField = 152,
};

const ui::StringTable& Strings();

// The text with its "%s" replaced by the values, in order.
std::string FormatText(int id, std::initializer_list<std::string_view> values);

}  // namespace qv::settings
