#include "settings/profile_calls.h"

#include "profile/profile.h"
#include "profile/properties.h"

namespace qv::settings {

namespace {

SettingsData FromProfile(const profile::SettingsProperties& p) {
  SettingsData d;
  d.servers = p.servers;
  d.server = p.server;
  d.protocol = p.protocol;
  d.reference_check = p.reference_check;
  d.reference_hours = p.reference_hours;
  d.clock_on = p.clock_on;
  d.clock_format = p.clock_format;
  d.clock_position = p.clock_position;
  d.log_file = p.log_file;
  d.beep = p.beep;
  d.auto_adjust = p.auto_adjust;
  d.auto_terminate = p.auto_terminate;
  d.indicator_line = p.indicator_line;
  d.desktop_link = p.desktop_link;
  d.startup_link = p.startup_link;
  d.time_out = p.time_out;
  d.dialog_size = p.dialog_size;
  d.iconic_start = p.iconic_start;
  d.window_pos = p.window_pos;
  d.daily_on = p.adjust_on;
  d.daily_hour = p.adjust_hour;
  d.daily_minute = p.adjust_minute;
  d.retry_on = p.retry_on;
  d.retry_count = p.retry_count;
  d.retry_interval = p.retry_interval;
  d.retry_unit = p.retry_unit;
  d.option_button = p.option_button;
  return d;
}

profile::SettingsProperties ToProfile(const SettingsData& d) {
  profile::SettingsProperties p;
  p.servers = d.servers;
  p.server = d.server;
  p.protocol = d.protocol;
  p.reference_check = d.reference_check;
  p.reference_hours = d.reference_hours;
  p.clock_on = d.clock_on;
  p.clock_format = d.clock_format;
  p.clock_position = d.clock_position;
  p.log_file = d.log_file;
  p.beep = d.beep;
  p.auto_adjust = d.auto_adjust;
  p.auto_terminate = d.auto_terminate;
  p.indicator_line = d.indicator_line;
  p.desktop_link = d.desktop_link;
  p.startup_link = d.startup_link;
  p.time_out = d.time_out;
  p.dialog_size = d.dialog_size;
  p.iconic_start = d.iconic_start;
  p.window_pos = d.window_pos;
  p.adjust_on = d.daily_on;
  p.adjust_hour = d.daily_hour;
  p.adjust_minute = d.daily_minute;
  p.retry_on = d.retry_on;
  p.retry_count = d.retry_count;
  p.retry_interval = d.retry_interval;
  p.retry_unit = d.retry_unit;
  p.option_button = d.option_button;
  return p;
}

class ProfileFileCalls final : public ProfileCalls {
 public:
  explicit ProfileFileCalls(const std::string& path) : file_(path) {}

  SettingsData Load() override { return FromProfile(profile::LoadSettingsProperties(file_.Load())); }

  bool Save(const SettingsData& data) override {
    const profile::SettingsProperties p = ToProfile(data);
    return file_.Update([&](profile::IniDocument& doc) { return profile::SaveSettingsProperties(doc, p); });
  }

  std::string ShortcutName() override {
    return file_.Load().ReadString(profile::kPropertySection, "ApplicationName");
  }

 private:
  profile::ProfileFile file_;
};

}  // namespace

std::unique_ptr<ProfileCalls> MakeProfileCalls(const std::string& path) {
  return std::make_unique<ProfileFileCalls>(path);
}

}  // namespace qv::settings
