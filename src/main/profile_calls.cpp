// The adapter between the main program and the profile's readings.
#include "main/profile_calls.h"

#include "profile/options.h"
#include "profile/program_profile.h"

namespace qv::main {

MainSettings MainProfile::Load(const MainSettings& previous) {
  profile::ProfileLoad load = profile::LoadProfile(path_, previous);
  options_ = load.options;
  return load.main;
}

SavedWindowPos MainProfile::ReadWindowPos() const { return profile::LoadProfile(path_).main_window; }

bool MainProfile::WriteWindowPos(int on, int left, int top, int show_cmd) {
  return profile::SaveMainWindowPos(path_, on, left, top, show_cmd).ok;
}

std::string MainProfile::SettingsArguments(std::int32_t window) const {
  return profile::FormatSettingsArguments(path_, window);
}

bool MainProfile::WriteTimeZoneRecords(const std::array<std::string, 3>& records) {
  return profile::WriteTimeZoneRecords(path_, records).ok;
}

}  // namespace qv::main
