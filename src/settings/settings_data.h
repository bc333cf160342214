// Every setting the settings dialog edits, as the program holds it.
#pragma once

#include <string>
#include <vector>

namespace qv::settings {

inline constexpr int kSntp = 0, kTime = 1, kDaytime = 2;

struct SettingsData {
  std::vector<std::string> servers;  // the known servers, in list order
  std::string server;                // the chosen one ("DefaultServer")
  int protocol = kSntp;              // -1: none selected
  int reference_check = 1;
  int reference_hours = 24;
  int clock_on = 0;
  int clock_format = 0;              // 0 time, 1 date and time, 2 daytime form
  int clock_position = 0;            // 0 in the dialog, 1 in the caption
  int log_file = 0;
  int beep = 0;
  int auto_adjust = 0;
  int auto_terminate = 0;
  int indicator_line = 0;
  int desktop_link = 0;
  int startup_link = 0;
  int time_out = 5;                  // seconds
  int dialog_size = 0;               // the detail area shows
  int iconic_start = 0;
  int window_pos = 0;                // restore the main window's position
  int daily_on = 0;
  int daily_hour = 0;
  int daily_minute = 0;
  int retry_on = 0;
  int retry_count = 1;
  int retry_interval = 10;
  int retry_unit = 0;                // 0 seconds, 1 minutes, 2 hours
  int option_button = 0;             // show the option buttons (loaded, never saved)
  friend bool operator==(const SettingsData&, const SettingsData&) = default;
};

}  // namespace qv::settings
