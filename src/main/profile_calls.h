// The main program's one way into the profile: its settings in one reading
// of the file, the window position, and the time-zone records.
#pragma once

#include <cstdint>
#include <string>

namespace qv::main {

// Every setting of section "Property" the main program uses, corrected as
// it reads them (out-of-range values replaced, flags 0 or 1).
struct MainSettings {
  std::string server;
  int protocol = 1;  // 0 SNTP, 1 TIME, 2 DAYTIME
  std::string protocol_name = "time";
  int reference_check = 1;
  int reference_hours = 24;
  int clock_on = 0;
  int clock_format = 0;    // 0 time, 1 date and time, 2 the DAYTIME form
  int clock_position = 0;  // 0 in the dialog, 1 in the title bar
  int log_file = 0;
  int beep = 0;
  int auto_adjust = 0;
  int auto_terminate = 0;
  int iconic_start = 0;
  int indicator_line = 0;
  int time_out = 3;  // seconds, as stored
  int window_pos = 0;
  int retry_on = 0;
  int retry_limit = 0;  // as stored
  int retry_value = 0;  // as stored
  int retry_unit = 0;   // as stored
  int daily_on = 0;
  int daily_hour = 0;
  int daily_minute = 0;
};

// "WindowPos" as the window is put back: on, left, top.
struct SavedWindowPos {
  int on = 0, left = 0, top = 0;
};

class MainProfile {
 public:
  explicit MainProfile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // One reading of the file. Numbers of "ServerReferenceTime" that the text
  // does not give keep their values from `previous`.
  MainSettings Load(const MainSettings& previous) const;
  SavedWindowPos ReadWindowPos() const;
  bool WriteWindowPos(int on, int left, int top, int show_cmd);
  // The settings program's argument text for this profile and a window.
  std::string SettingsArguments(std::int32_t window) const;
  // "tz<index>" of section "TZ": "%d,%ld,%s,%s,%s".
  bool WriteTimeZoneRecord(int index, int daylight, long offset_hours, const std::string& standard_name,
                           const std::string& daylight_name, const std::string& tz_value);

 private:
  std::string path_;
};

}  // namespace qv::main
