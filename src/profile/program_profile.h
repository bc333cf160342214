// What the two programs call to load and save the profile: each load reads
// and parses the file once; each save is one locked transaction that
// replaces the file once, so the other program never sees it half done.
// Texts are UTF-8; the file keeps its own code page or UTF-16.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile.h"
#include "profile/properties.h"
#include "profile/server_options.h"

namespace qv::profile {

// Every view of one reading of the profile.
struct ProfileLoad {
  ProfileRead::Status status = ProfileRead::Status::kMissing;
  std::string problem;            // kUnreadable: why (everything below is then the defaults)
  MainProperties main;            // the main program's settings
  StoredWindowPos main_window;    // "WindowPos" as the main program restores it
  SettingsProperties settings;    // the settings program's, servers and "OptionButton" included
  std::string application_name;   // "ApplicationName", "Quorvel" when missing
  ServerOptions options;          // section "Options"
};

// Start-up and every reload. The main program passes its previous reading
// on a reload: the "ServerReferenceTime" numbers the text does not provide
// keep their previous values.
ProfileLoad LoadProfile(const std::string& path, const MainProperties& previous_main = MainProperties{});

// The settings program's OK and Apply: "Servers" emptied (moved last) and
// refilled, "DefaultServer" unless the name is empty, then every other
// "Property" key in the fixed order with the "WindowPos" rewrite, as one
// replacement of the file. All or nothing.
ProfileResult SaveSettings(const std::string& path, const SettingsProperties& settings);
// The same, and in the same replacement the section "Options" when the file
// holds other options: a profile whose user never changed them gains no
// section.
ProfileResult SaveSettings(const std::string& path, const SettingsProperties& settings,
                           const ServerOptions& options);

// CheckServerNames on the profile as it is now (a missing or unreadable one
// as a new file would be).
ServerNameCheck CheckServerNames(const std::string& path, const std::vector<std::string>& listed,
                                 std::string_view chosen);

// The main program's close button: "WindowPos" = on, left, top, show state.
ProfileResult SaveMainWindowPos(const std::string& path, int on, int left, int top, int show_state);

// The main program's start: "tz0", "tz1" and "tz2" (FormatTimeZoneRecord) in
// one write.
ProfileResult WriteTimeZoneRecords(const std::string& path, const std::array<std::string, 3>& records);

}  // namespace qv::profile
