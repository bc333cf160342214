// The one place the settings program reaches the profile through. The dialog
// and its tests see only this interface, so a change of the profile's own
// interface changes this adapter alone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "profile/server_options.h"
#include "settings/settings_data.h"

namespace qv::settings {

class ProfileCalls {
 public:
  virtual ~ProfileCalls() = default;
  // Every setting, from one reading of the file, with the program's rules
  // for missing and out-of-range values applied. A missing file reads as
  // the defaults.
  virtual SettingsData Load() = 0;
  // Section "Options", each value within its range.
  virtual profile::ServerOptions LoadOptions() = 0;
  // "Servers" and every "Property" key in the fixed order, and "Options"
  // where they differ from the file's, as one transaction: another reader
  // sees the whole old or the whole new set. When it fails nothing was
  // written, and the result says why.
  virtual profile::ProfileResult Save(const SettingsData& data, const profile::ServerOptions& options) = 0;
  // The first server name the profile cannot hold: one of `listed` as a
  // line of the list, or `chosen` as the server in use.
  virtual profile::ServerNameCheck CheckServerNames(const std::vector<std::string>& listed,
                                                    const std::string& chosen) = 0;
  // "ApplicationName": the shortcuts' name.
  virtual std::string ShortcutName() = 0;
};

// The profile file at `path`.
std::unique_ptr<ProfileCalls> MakeProfileCalls(const std::string& path);

}  // namespace qv::settings
