#include "main/cycle_options.h"

#include "profile/profile.h"

namespace qv::main {

CycleOptions LoadCycleOptions(const profile::ServerOptions& o, const std::string& profile_path) {
  CycleOptions options;
  options.policy = engine::MakeCyclePolicy(o.fallback, o.agreement, o.agreement_tolerance_ms, o.offset_guard,
                                           o.offset_guard_seconds);
  // The list only matters to a rule that asks another server.
  if (options.policy.fallback || options.policy.agreement)
    options.servers = profile::LoadSettingsProperties(profile::ProfileFile(profile_path).Load()).servers;
  return options;
}

}  // namespace qv::main
