// What a main program's cycle may ask beyond the default server: the rules
// of section "Options" and the settings program's server list.
#pragma once

#include <string>
#include <vector>

#include "engine/server_cycle.h"

namespace qv::main {

struct CycleOptions {
  engine::CyclePolicy policy;
  std::vector<std::string> servers;  // "Servers", in the user's order
};

// One reading of the profile; every rule off when it has none.
CycleOptions LoadCycleOptions(const std::string& profile_path);

}  // namespace qv::main
