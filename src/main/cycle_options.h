// What a main program's cycle may ask beyond the default server: the rules
// of section "Options" and the settings program's server list.
#pragma once

#include <string>
#include <vector>

#include "engine/server_cycle.h"
#include "profile/server_options.h"

namespace qv::main {

struct CycleOptions {
  engine::CyclePolicy policy;
  std::vector<std::string> servers;  // "Servers", in the user's order
};

// The rules of the options already read; the profile is read for its
// server list only when a rule asks another server.
CycleOptions LoadCycleOptions(const profile::ServerOptions& o, const std::string& profile_path);

}  // namespace qv::main
