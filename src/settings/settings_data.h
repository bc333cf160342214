// Every setting the settings dialog edits, as the program holds it: the
// settings program's view of the profile.
#pragma once

#include "profile/properties.h"

namespace qv::settings {

using SettingsData = profile::SettingsProperties;

}  // namespace qv::settings
