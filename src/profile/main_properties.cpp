// The main program's reading of section "Property".
#include "base/text.h"
#include "profile/properties.h"

namespace qv::profile {

namespace {

int OnlyOne(int value) { return value == 1 ? 1 : 0; }

int FlagKey(const ProfileStore& profile, std::string_view key) {
  return OnlyOne(profile.ReadInt(kPropertySection, key, 0));
}

}  // namespace

MainProperties LoadMainProperties(const ProfileStore& profile, const MainProperties& previous) {
  MainProperties p;
  p.server = profile.ReadString(kPropertySection, "DefaultServer");

  // Exact case: "sntp" or "Time" select TIME.
  const std::optional<int> protocol = ProtocolFromWord(profile.ReadString(kPropertySection, "protocol"));
  p.protocol = protocol.value_or(kTime);

  // Numbers the text does not provide keep the previous reading's values.
  p.reference_check = previous.reference_check;
  p.reference_hours = previous.reference_hours;
  ScanInts(profile.ReadString(kPropertySection, "ServerReferenceTime"), "%i,%i",
           {&p.reference_check, &p.reference_hours});
  if (p.reference_check != 0) p.reference_check = 1;
  p.reference_hours = kReferenceHoursRange.Read(p.reference_hours);

  if (ScanInts(profile.ReadString(kPropertySection, "CurrentTimeDisplay"), "%i,%i,%i",
               {&p.clock_on, &p.clock_format, &p.clock_position}) < 3) {
    p.clock_on = p.clock_format = p.clock_position = 0;
  }

  p.log_file = FlagKey(profile, "logfile");
  p.beep = FlagKey(profile, "beep");
  p.auto_adjust = FlagKey(profile, "AutoAdjust");
  p.auto_terminate = FlagKey(profile, "AutoTerminate");
  p.iconic_start = FlagKey(profile, "IconicStart");
  p.indicator_line = FlagKey(profile, "indicatorline");

  p.time_out = profile.ReadInt(kPropertySection, "TimeOut", 3);

  ScanInts(profile.ReadString(kPropertySection, "WindowPos"), "%i,", {&p.window_pos});
  p.window_pos = OnlyOne(p.window_pos);

  ScanInts(profile.ReadString(kPropertySection, "ErrorRetry"), "%i,%i,%i,%i",
           {&p.retry_on, &p.retry_limit, &p.retry_value, &p.retry_unit});
  p.retry_on = OnlyOne(p.retry_on);

  ScanInts(profile.ReadString(kPropertySection, "AdjustAt"), "%i,%i:%i",
           {&p.daily_on, &p.daily_hour, &p.daily_minute});
  p.daily_on = OnlyOne(p.daily_on);
  p.daily_hour = kHourRange.Read(p.daily_hour);
  p.daily_minute = kMinuteRange.Read(p.daily_minute);

  if (p.clock_on != 1) p.clock_on = 0;
  if (p.clock_format < 0 || p.clock_format > 2) p.clock_format = 0;
  if (p.clock_position < 0 || p.clock_position > 1) p.clock_position = 0;
  return p;
}

StoredWindowPos ReadMainWindowPos(const ProfileStore& profile) {
  StoredWindowPos pos;
  ScanInts(profile.ReadString(kPropertySection, "WindowPos"), "%i,%i,%i", {&pos.on, &pos.left, &pos.top});
  return pos;
}

bool WriteMainWindowPos(ProfileStore& profile, int on, int left, int top, int show_state) {
  std::string text = std::to_string(on) + "," + std::to_string(left) + "," + std::to_string(top) + "," +
                     std::to_string(show_state);
  return profile.WriteString(kPropertySection, "WindowPos", text);
}

std::string FormatTimeZoneRecord(int daylight, long offset_hours, std::string_view standard_name,
                                 std::string_view daylight_name, std::string_view tz_value) {
  std::string text = std::to_string(daylight) + "," + std::to_string(offset_hours) + ",";
  text.append(standard_name).append(",").append(daylight_name).append(",").append(tz_value);
  return text;
}

bool WriteTimeZoneRecord(ProfileStore& profile, int index, std::string_view record) {
  return profile.WriteString(kTimeZoneSection, "tz" + std::to_string(index), record);
}

}  // namespace qv::profile
