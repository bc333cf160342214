// The adapter between the main program and the profile's readings.
#include "main/profile_calls.h"

#include "profile/options.h"
#include "profile/profile.h"
#include "profile/properties.h"

namespace qv::main {

MainSettings MainProfile::Load(const MainSettings& previous) const {
  profile::MainProperties before;
  before.reference_check = previous.reference_check;
  before.reference_hours = previous.reference_hours;
  const profile::MainProperties p = profile::LoadMainProperties(profile::ProfileFile(path_).Load(), before);
  MainSettings s;
  s.server = p.server;
  s.protocol = p.protocol;
  s.protocol_name = p.protocol_name;
  s.reference_check = p.reference_check;
  s.reference_hours = p.reference_hours;
  s.clock_on = p.clock_on;
  s.clock_format = p.clock_format;
  s.clock_position = p.clock_position;
  s.log_file = p.log_file;
  s.beep = p.beep;
  s.auto_adjust = p.auto_adjust;
  s.auto_terminate = p.auto_terminate;
  s.iconic_start = p.iconic_start;
  s.indicator_line = p.indicator_line;
  s.time_out = p.time_out;
  s.window_pos = p.window_pos;
  s.retry_on = p.retry_on;
  s.retry_limit = p.retry_limit;
  s.retry_value = p.retry_value;
  s.retry_unit = p.retry_unit;
  s.daily_on = p.daily_on;
  s.daily_hour = p.daily_hour;
  s.daily_minute = p.daily_minute;
  return s;
}

SavedWindowPos MainProfile::ReadWindowPos() const {
  const profile::StoredWindowPos p = profile::ReadMainWindowPos(profile::ProfileFile(path_).Load());
  return {p.on, p.left, p.top};
}

bool MainProfile::WriteWindowPos(int on, int left, int top, int show_cmd) {
  profile::ProfileFile file(path_);
  return profile::WriteMainWindowPos(file, on, left, top, show_cmd);
}

std::string MainProfile::SettingsArguments(std::int32_t window) const {
  return profile::FormatSettingsArguments(path_, window);
}

bool MainProfile::WriteTimeZoneRecord(int index, int daylight, long offset_hours, const std::string& standard_name,
                                      const std::string& daylight_name, const std::string& tz_value) {
  profile::ProfileFile file(path_);
  return profile::WriteTimeZoneRecord(
      file, index, profile::FormatTimeZoneRecord(daylight, offset_hours, standard_name, daylight_name, tz_value));
}

}  // namespace qv::main
