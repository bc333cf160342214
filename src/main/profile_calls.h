// The main program's one way into the profile: its settings in one reading
// of the file, the window position, and the time-zone records.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "profile/properties.h"
#include "profile/server_options.h"

namespace qv::main {

// Every setting of section "Property" the main program uses, corrected as
// it reads them (out-of-range values replaced, flags 0 or 1).
using MainSettings = profile::MainProperties;
// "WindowPos" as the window is put back: on, left, top.
using SavedWindowPos = profile::StoredWindowPos;

class MainProfile {
 public:
  explicit MainProfile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // One reading of the file. Numbers of "ServerReferenceTime" that the text
  // does not give keep their values from `previous`.
  MainSettings Load(const MainSettings& previous);
  // Section "Options" of that same reading.
  const profile::ServerOptions& options() const { return options_; }
  SavedWindowPos ReadWindowPos() const;
  bool WriteWindowPos(int on, int left, int top, int show_cmd);
  // The settings program's argument text for this profile and a window.
  std::string SettingsArguments(std::int32_t window) const;
  // "tz0", "tz1", "tz2" of section "TZ", each "%d,%ld,%s,%s,%s", in one write.
  bool WriteTimeZoneRecords(const std::array<std::string, 3>& records);

 private:
  std::string path_;
  profile::ServerOptions options_;
};

}  // namespace qv::main
