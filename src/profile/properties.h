// The settings in section "Property" (and "Servers", "Debug", "TZ") as the
// two programs see them. Every key has its default and its range rules;
// settings are never refused, only replaced by fixed values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/protocol.h"
#include "profile/profile_store.h"

namespace qv::profile {

inline constexpr std::string_view kPropertySection = "Property";
inline constexpr std::string_view kServersSection = "Servers";
inline constexpr std::string_view kDebugSection = "Debug";
inline constexpr std::string_view kTimeZoneSection = "TZ";
// The "Servers" section travels in blocks of this many of the file's own
// characters (bytes of its code page: a Japanese name in CP932 takes two a
// character, as it always has; UTF-16 units in a UTF-16 file).
inline constexpr std::size_t kServerBlockCapacity = 512;

// The number fields' ranges: one table for both programs' readings of the
// profile, the settings dialog's check and its spin controls.
struct IntBounds {
  int low;
  int high;
  constexpr bool Holds(int value) const { return value >= low && value <= high; }
};
struct FieldRange {
  IntBounds stored;  // a reading keeps a value within, else takes `fallback`
  int fallback;
  IntBounds typed;   // what the settings dialog accepts on OK and Apply
  IntBounds spin;    // what its spin control steps through
  constexpr int Read(int value) const { return stored.Holds(value) ? value : fallback; }
};
constexpr FieldRange SameRange(IntBounds bounds, int fallback) { return {bounds, fallback, bounds, bounds}; }

// The spin steps down to 0, which OK then refuses with the 1-to-30 message:
// users know the field that way, so it stays.
inline constexpr FieldRange kTimeOutRange{{1, 30}, 5, {1, 30}, {0, 30}};
// A hand-typed interval up to 999 is saved as typed (the main program uses
// it), yet the settings program's next reading shows 10 for anything past
// the spin's 99.
inline constexpr FieldRange kRetryIntervalRange{{1, 99}, 10, {0, 999}, {1, 99}};
inline constexpr FieldRange kRetryCountRange = SameRange({1, 10}, 1);
inline constexpr FieldRange kHourRange = SameRange({0, 23}, 0);
inline constexpr FieldRange kMinuteRange = SameRange({0, 59}, 0);
inline constexpr FieldRange kReferenceHoursRange = SameRange({1, 24}, 24);

// The main program's reading. Reload after a save of the settings program by
// passing the previous reading: the numbers of "ServerReferenceTime" that
// the text does not provide keep their previous values.
struct MainProperties {
  std::string server;                   // DefaultServer
  int protocol = kTime;                 // "SNTP" or "daytime" exactly, anything else TIME
  int reference_check = 1;              // 0 or 1
  int reference_hours = 24;             // kReferenceHoursRange
  int clock_on = 0;                     // 0 or 1
  int clock_format = 0;                 // 0..2
  int clock_position = 0;               // 0..1
  int log_file = 0;
  int beep = 0;
  int auto_adjust = 0;
  int auto_terminate = 0;
  int iconic_start = 0;
  int indicator_line = 0;
  int time_out = 3;                     // seconds, as stored (no range check)
  int window_pos = 0;                   // restore the window position
  int retry_on = 0;
  int retry_limit = 0;                  // as stored
  int retry_value = 0;                  // interval, as stored
  int retry_unit = 0;                   // as stored; callers count anything but 1, 2 as seconds
  int daily_on = 0;
  int daily_hour = 0;                   // kHourRange
  int daily_minute = 0;                 // kMinuteRange
};

MainProperties LoadMainProperties(const ProfileStore& profile, const MainProperties& previous);
inline MainProperties LoadMainProperties(const ProfileStore& profile) {
  return LoadMainProperties(profile, MainProperties{});
}

// "WindowPos" as the main program restores it: "%i,%i,%i" (on, left, top).
struct StoredWindowPos {
  int on = 0;
  int left = 0;
  int top = 0;
};
StoredWindowPos ReadMainWindowPos(const ProfileStore& profile);
// "%i,%i,%i,%i": on, left and top of the normal position, show state.
bool WriteMainWindowPos(ProfileStore& profile, int on, int left, int top, int show_state);

// The settings program's reading, every value within its control's range.
struct SettingsProperties {
  std::vector<std::string> servers;     // "Servers", in file order
  std::string server;                   // DefaultServer
  int protocol = kSntp;                 // 0..2; -1 (none selected) saves an empty text
  int reference_check = 1;
  int reference_hours = 24;
  int clock_on = 0;
  int clock_format = 0;
  int clock_position = 0;
  int log_file = 0;
  int beep = 0;
  int auto_adjust = 0;
  int auto_terminate = 0;
  int indicator_line = 0;
  int desktop_link = 0;
  int startup_link = 0;
  int time_out = 5;                     // kTimeOutRange
  int dialog_size = 0;
  int iconic_start = 0;
  int window_pos = 0;
  int adjust_on = 0;
  int adjust_hour = 0;                  // kHourRange
  int adjust_minute = 0;                // kMinuteRange
  int retry_on = 0;
  int retry_count = 1;                  // kRetryCountRange
  int retry_interval = 10;              // kRetryIntervalRange
  int retry_unit = 0;                   // 0 seconds, 1 minutes, 2 hours
  int option_button = 0;                // "OptionButton" of "Debug"
  friend bool operator==(const SettingsProperties&, const SettingsProperties&) = default;
};

SettingsProperties LoadSettingsProperties(const ProfileStore& profile);

// Why the profile cannot hold a server name as the user typed it.
enum class ServerNameProblem {
  kNone,
  kLineBreak,  // a line break or NUL: no line holds it
  kNotALine,   // blank, or starting with "[" or ";": "Servers" would not read it back as a server
  kCodePage,   // a character the file's code page lacks
};
struct ServerNameCheck {
  ServerNameProblem problem = ServerNameProblem::kNone;
  std::string name;       // the name refused
  std::string character;  // kCodePage: its first character the file lacks
};
// The first name the profile cannot hold: each of `listed` as a line of
// "Servers", then `chosen` as the value of "DefaultServer" (an empty one is
// never stored).
ServerNameCheck CheckServerNames(const ProfileStore& profile, const std::vector<std::string>& listed,
                                 std::string_view chosen);
// The problem in words, for a save's failure.
std::string DescribeServerNameCheck(const ServerNameCheck& check);

// Writes "Servers" and every "Property" key but "ApplicationName", in the
// order other readers rely on. An empty server name leaves "DefaultServer"
// as stored. Fails, before writing anything, on a server name the profile
// cannot hold (CheckServerNames), and when a write fails.
ProfileResult SaveSettingsProperties(ProfileStore& profile, const SettingsProperties& settings);

// "ApplicationName": the shortcut name, "Quorvel" when missing or empty.
std::string ReadApplicationName(const ProfileStore& profile);

// The "WindowPos" text the settings program stores: the new flag followed
// by the stored text from its first "," on ("0,120,80,1" with flag 1 gives
// "1,120,80,1"); just the flag when the stored text has no ",".
std::string RewriteWindowPos(std::string_view stored, int flag);

// The "Servers" block: as many names, in order, as fit the 512 of the
// profile's characters with their NULs and the final NUL; names it cannot
// hold as lines are left out.
std::string PackServerBlock(const ProfileStore& profile, const std::vector<std::string>& servers);
// The entries of a section block, up to the first empty one.
std::vector<std::string> UnpackSectionBlock(std::string_view block);

// A "TZ" record, "%d,%ld,%s,%s,%s", and its key "tz<index>".
std::string FormatTimeZoneRecord(int daylight, long offset_hours, std::string_view standard_name,
                                 std::string_view daylight_name, std::string_view tz_value);
bool WriteTimeZoneRecord(ProfileStore& profile, int index, std::string_view record);

}  // namespace qv::profile
