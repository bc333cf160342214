// The command line: the profile path of the main program, the options by
// which it hands its profile and window to the settings program, and the
// debug switch. Everything works on the "argument text": the command line
// without the program's own path and the blanks after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::profile {

inline constexpr std::string_view kMainDebugSwitch = "/Dsntp";
inline constexpr std::string_view kSettingsDebugSwitch = "-Dsntp";
inline constexpr std::string_view kProfileOption = "-profile=";
inline constexpr std::string_view kWindowOption = "-geohwnd=";

// Values may stand between double quotes, a quote inside them doubled
// ("a""b" is a"b); text between quotes is a value, never an option or a
// switch, so a folder named "-geohwnd=1" or "-Dsntp" is only a folder.

// The value after the first occurrence of `option` outside quotes (case-
// sensitive, anywhere else in the text): up to the closing quote when it
// starts with one (to the end when none closes it), else up to the first
// blank or tab. Empty when the option is absent.
std::string GetOptionValue(std::string_view args, std::string_view option);

// True when the switch occurs outside quotes anywhere in the text, even
// inside a word.
bool HasDebugSwitch(std::string_view args, std::string_view debug_switch);
// Sets the process-wide debug switch (app_state.h) from the text: off, then
// on when the switch occurs.
void ScanDebugSwitch(std::string_view args, std::string_view debug_switch);

struct SettingsOptions {
  std::string profile_path;    // never empty
  std::int32_t caller_window;  // 0 when absent or not a number
};

// The settings program's options; nullopt when "-profile=" is missing or
// empty (the program must not start then).
std::optional<SettingsOptions> ParseSettingsOptions(std::string_view args);

// A decimal window handle: optional blanks and sign, then digits up to the
// first other character. 0 when there are no digits or the number does not
// fit 32 bits (no window can have that handle).
std::int32_t ParseWindowHandle(std::string_view value);

// The argument text the main program starts the settings program with: the
// profile path always quoted ("-profile=\"C:\Q.INI\" -geohwnd=66 xyz").
std::string FormatSettingsArguments(std::string_view profile_path, std::int32_t window);

// The profile path beside an executable: its extension replaced by "INI"
// (C:\Tools\Quorvel.exe -> C:\Tools\Quorvel.INI), or ".INI" appended when
// the file name has none. Empty for an empty path.
std::string MakeProfilePath(std::string_view executable_path);
// The profile a program at that path uses: the one beside it, or, in a copy
// built to be installed (QV_PROFILE_IN_USER_CONFIG), Quorvel.INI in the
// user's settings folder (platform::UserConfigFolder), when there is one.
std::string ProgramProfilePath(std::string_view executable_path);

// The argument text of a full command line: the program's path (quoted or
// up to the first blank) and the blanks after it removed.
std::string_view StripProgramName(std::string_view command_line);
// The argument text of separate arguments (argv[1..]): joined by blanks. An
// option's value other than a number is quoted ("-profile=/a b" becomes
// -profile="/a b"), and so is any other argument with a blank, tab or quote,
// so that GetOptionValue takes each value whole and as it was.
std::string JoinArguments(const std::vector<std::string>& args);

}  // namespace qv::profile
