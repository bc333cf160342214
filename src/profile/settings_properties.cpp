// The settings program's reading and saving of the profile.
#include "base/text.h"
#include "profile/properties.h"

namespace qv::profile {

namespace {

int OnlyOne(int value) { return value == 1 ? 1 : 0; }
int NonZero(int value) { return value != 0 ? 1 : 0; }
int InRangeOr(int value, int low, int high, int replacement) {
  return value < low || value > high ? replacement : value;
}

int ReadFlag(const ProfileStore& profile, std::string_view key) {
  return profile.ReadInt(kPropertySection, key, 0);
}

std::string Join(std::initializer_list<int> values, std::initializer_list<char> separators) {
  std::string text;
  const char* sep = separators.begin();
  for (int value : values) {
    if (!text.empty() && sep != separators.end()) text.push_back(*sep++);
    text += std::to_string(value);
  }
  return text;
}

}  // namespace

SettingsProperties LoadSettingsProperties(const ProfileStore& profile) {
  SettingsProperties s;
  s.servers = UnpackSectionBlock(profile.ReadSection(kServersSection, kServerBlockCapacity).text);
  s.server = profile.ReadString(kPropertySection, "DefaultServer");

  // Exact case, as the main program reads it, but anything unknown is SNTP here.
  const std::optional<int> protocol = ProtocolFromWord(profile.ReadString(kPropertySection, "protocol"));
  s.protocol = protocol.value_or(kSntp);

  ScanInts(profile.ReadString(kPropertySection, "ServerReferenceTime"), "%i,%i",
           {&s.reference_check, &s.reference_hours});
  s.reference_check = NonZero(s.reference_check);
  s.reference_hours = kReferenceHoursRange.Read(s.reference_hours);

  if (ScanInts(profile.ReadString(kPropertySection, "CurrentTimeDisplay"), "%i,%i,%i",
               {&s.clock_on, &s.clock_format, &s.clock_position}) < 3) {
    s.clock_on = s.clock_format = s.clock_position = 0;
  }

  s.log_file = OnlyOne(ReadFlag(profile, "LogFile"));
  s.beep = OnlyOne(ReadFlag(profile, "Beep"));
  s.auto_adjust = OnlyOne(ReadFlag(profile, "AutoAdjust"));
  s.auto_terminate = OnlyOne(ReadFlag(profile, "AutoTerminate"));
  s.indicator_line = NonZero(ReadFlag(profile, "IndicatorLine"));
  s.desktop_link = NonZero(ReadFlag(profile, "DesktopLink"));
  s.startup_link = NonZero(ReadFlag(profile, "StartupLink"));
  s.time_out = profile.ReadInt(kPropertySection, "TimeOut", 5);
  s.dialog_size = OnlyOne(ReadFlag(profile, "DialogSize"));
  s.iconic_start = OnlyOne(ReadFlag(profile, "IconicStart"));

  ScanInts(profile.ReadString(kPropertySection, "WindowPos"), "%i,", {&s.window_pos});
  s.window_pos = OnlyOne(s.window_pos);

  ScanInts(profile.ReadString(kPropertySection, "AdjustAt"), "%i,%i:%i",
           {&s.adjust_on, &s.adjust_hour, &s.adjust_minute});
  s.adjust_on = OnlyOne(s.adjust_on);

  s.retry_count = 0;
  s.retry_interval = 0;
  ScanInts(profile.ReadString(kPropertySection, "ErrorRetry"), "%i,%i,%i,%i",
           {&s.retry_on, &s.retry_count, &s.retry_interval, &s.retry_unit});
  s.retry_on = OnlyOne(s.retry_on);

  s.option_button = OnlyOne(profile.ReadInt(kDebugSection, "OptionButton", 0));

  s.time_out = kTimeOutRange.Read(s.time_out);
  s.adjust_hour = kHourRange.Read(s.adjust_hour);
  s.adjust_minute = kMinuteRange.Read(s.adjust_minute);
  s.retry_count = kRetryCountRange.Read(s.retry_count);
  s.retry_interval = kRetryIntervalRange.Read(s.retry_interval);
  s.retry_unit = InRangeOr(s.retry_unit, 0, 2, 0);
  s.clock_on = OnlyOne(s.clock_on);
  s.clock_format = InRangeOr(s.clock_format, 0, 2, 0);
  s.clock_position = InRangeOr(s.clock_position, 0, 1, 0);
  return s;
}

ProfileResult SaveSettingsProperties(ProfileStore& profile, const SettingsProperties& s) {
  // Refused whole: a name the file cannot hold would otherwise vanish from
  // the list, or fail the save after the rest was written.
  if (const ServerNameCheck check = CheckServerNames(profile, s.servers, s.server);
      check.problem != ServerNameProblem::kNone)
    return {false, DescribeServerNameCheck(check)};
  const std::string block = PackServerBlock(profile, s.servers);
  bool ok = profile.ClearSection(kServersSection);
  ok = profile.WriteSection(kServersSection, block) && ok;
  if (!s.server.empty()) ok = profile.WriteString(kPropertySection, "DefaultServer", s.server) && ok;

  auto text = [&](std::string_view key, const std::string& value) {
    ok = profile.WriteString(kPropertySection, key, value) && ok;
  };
  auto integer = [&](std::string_view key, int value) {
    ok = profile.WriteInt(kPropertySection, key, value) && ok;
  };
  text("protocol", std::string(ProtocolWord(s.protocol)));
  text("ServerReferenceTime", Join({s.reference_check, s.reference_hours}, {','}));
  text("CurrentTimeDisplay", Join({s.clock_on, s.clock_format, s.clock_position}, {',', ','}));
  integer("LogFile", s.log_file);
  integer("Beep", s.beep);
  integer("AutoAdjust", s.auto_adjust);
  integer("AutoTerminate", s.auto_terminate);
  integer("IndicatorLine", s.indicator_line);
  integer("DesktopLink", s.desktop_link);
  integer("StartupLink", s.startup_link);
  integer("TimeOut", s.time_out);
  integer("DialogSize", s.dialog_size);
  integer("IconicStart", s.iconic_start);
  text("WindowPos", RewriteWindowPos(profile.ReadString(kPropertySection, "WindowPos"), s.window_pos));
  text("AdjustAt", Join({s.adjust_on, s.adjust_hour, s.adjust_minute}, {',', ':'}));
  text("ErrorRetry", Join({s.retry_on, s.retry_count, s.retry_interval, s.retry_unit}, {',', ',', ','}));
  if (!ok) return {false, "the change cannot be stored in this file"};
  return {true, {}};
}

std::string ReadApplicationName(const ProfileStore& profile) {
  std::string name = profile.ReadString(kPropertySection, "ApplicationName");
  return name.empty() ? std::string("Quorvel") : name;
}

std::string RewriteWindowPos(std::string_view stored, int flag) {
  std::size_t comma = stored.find(',');
  // Without a ",", appending the stored text would turn "1" into "11" at the
  // next save, and the main program would then read the option as off.
  std::string_view rest = comma == stored.npos ? std::string_view() : stored.substr(comma);
  return std::to_string(flag) + std::string(rest);
}

}  // namespace qv::profile
