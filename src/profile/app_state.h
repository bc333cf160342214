// Process-wide state set once at start-up: the profile path and the debug
// switch.
#pragma once

#include <string>

namespace qv::profile {

const std::string& ProfilePath();
void SetProfilePath(std::string path);

// While on, every SNTP exchange is written to the SNTP detail log.
bool DebugSwitch();
void SetDebugSwitch(bool on);

}  // namespace qv::profile
