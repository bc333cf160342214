#include "profile/options.h"

#include <climits>

#include "base/text.h"
#include "platform/file.h"
#include "profile/app_state.h"

namespace qv::profile {

namespace {
bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// A value between double quotes, each quote inside it doubled.
void AppendQuoted(std::string& text, std::string_view value) {
  text.push_back('"');
  for (char c : value) {
    if (c == '"') text.push_back('"');
    text.push_back(c);
  }
  text.push_back('"');
}

bool IsPlainNumber(std::string_view value) {
  if (!value.empty() && (value.front() == '-' || value.front() == '+')) value.remove_prefix(1);
  return !value.empty() && value.find_first_not_of("0123456789") == value.npos;
}

// Where `needle` first occurs outside double quotes; npos when it does not.
// Every quote toggles, so a doubled quote inside a quoted value keeps it open.
std::size_t FindOutsideQuotes(std::string_view text, std::string_view needle) {
  if (needle.empty()) return text.npos;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!quoted && text.compare(i, needle.size(), needle) == 0) return i;
    if (text[i] == '"') quoted = !quoted;
  }
  return text.npos;
}

}  // namespace

std::string GetOptionValue(std::string_view args, std::string_view option) {
  const std::size_t at = FindOutsideQuotes(args, option);
  if (at == args.npos) return {};
  std::string_view rest = args.substr(at + option.size());
  if (!rest.empty() && rest.front() == '"') {
    std::string value;
    for (std::size_t i = 1; i < rest.size(); ++i) {
      if (rest[i] != '"') {
        value.push_back(rest[i]);
      } else if (i + 1 < rest.size() && rest[i + 1] == '"') {
        value.push_back('"');
        ++i;
      } else {
        break;
      }
    }
    return value;
  }
  std::size_t end = 0;
  while (end < rest.size() && !IsBlankOrTab(rest[end])) ++end;
  return std::string(rest.substr(0, end));
}

bool HasDebugSwitch(std::string_view args, std::string_view debug_switch) {
  return FindOutsideQuotes(args, debug_switch) != args.npos;
}

void ScanDebugSwitch(std::string_view args, std::string_view debug_switch) {
  SetDebugSwitch(false);
  if (HasDebugSwitch(args, debug_switch)) SetDebugSwitch(true);
}

std::int32_t ParseWindowHandle(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && IsBlankOrTab(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  long long magnitude = 0;
  bool any = false;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    any = true;
    magnitude = magnitude * 10 + (value[i] - '0');
    if (magnitude > 1LL + INT32_MAX) return 0;
  }
  if (!any) return 0;
  long long signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT32_MAX || signed_value < INT32_MIN) return 0;
  return static_cast<std::int32_t>(signed_value);
}

std::optional<SettingsOptions> ParseSettingsOptions(std::string_view args) {
  SettingsOptions options;
  options.profile_path = GetOptionValue(args, kProfileOption);
  if (options.profile_path.empty()) return std::nullopt;
  options.caller_window = ParseWindowHandle(GetOptionValue(args, kWindowOption));
  return options;
}

std::string FormatSettingsArguments(std::string_view profile_path, std::int32_t window) {
  std::string text(kProfileOption);
  AppendQuoted(text, profile_path);
  text.append(" ").append(kWindowOption).append(std::to_string(window)).append(" xyz");
  return text;
}

std::string MakeProfilePath(std::string_view executable_path) {
  if (executable_path.empty()) return {};
  const std::size_t name_start = BaseNameStart(executable_path);
  std::size_t dot = executable_path.rfind('.');
  std::string path(executable_path);
  // Cutting a fixed three characters would eat into a name without an
  // extension (a Linux executable): only an extension is replaced.
  if (dot == executable_path.npos || dot <= name_start) return path + ".INI";
  path.resize(dot + 1);
  return path + "INI";
}

std::string ProgramProfilePath(std::string_view executable_path) {
#ifdef QV_PROFILE_IN_USER_CONFIG
  // An installed copy sits in the system's folder, which its users may not
  // write: each keeps the profile (and the logs named after it) in a
  // settings folder of their own, shared by all three programs.
  if (const std::string folder = platform::UserConfigFolder(); !folder.empty()) return folder + "/Quorvel.INI";
#endif
  return MakeProfilePath(executable_path);
}

std::string_view StripProgramName(std::string_view command_line) {
  std::size_t i = 0;
  if (!command_line.empty() && command_line.front() == '"') {
    std::size_t close = command_line.find('"', 1);
    i = close == command_line.npos ? command_line.size() : close + 1;
  }
  while (i < command_line.size() && !IsBlankOrTab(command_line[i])) ++i;
  while (i < command_line.size() && IsBlankOrTab(command_line[i])) ++i;
  return command_line.substr(i);
}

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) {
    if (!text.empty()) text.push_back(' ');
    const std::size_t eq = arg.find('=');
    if ((arg.starts_with('-') || arg.starts_with('/')) && eq != arg.npos) {
      // An option's value is quoted unless it is a number, so that nothing
      // in it (a folder named "-geohwnd=1" or "-Dsntp") reads as an option.
      const std::string_view value = std::string_view(arg).substr(eq + 1);
      text.append(arg, 0, eq + 1);
      if (value.empty() || IsPlainNumber(value)) {
        text.append(value);
      } else {
        AppendQuoted(text, value);
      }
    } else if (arg.find_first_of(" \t\"") != arg.npos) {
      AppendQuoted(text, arg);
    } else {
      text.append(arg);
    }
  }
  return text;
}

}  // namespace qv::profile
