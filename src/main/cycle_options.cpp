#include "main/cycle_options.h"

#include "profile/profile.h"
#include "profile/server_options.h"

namespace qv::main {

CycleOptions LoadCycleOptions(const std::string& profile_path) {
  const profile::IniDocument document = profile::ProfileFile(profile_path).Load();
  CycleOptions options;
  const profile::ServerOptions o = profile::LoadServerOptions(document);
  options.policy = engine::MakeCyclePolicy(o.fallback, o.agreement, o.agreement_tolerance_ms, o.offset_guard,
                                           o.offset_guard_seconds);
  // The list only matters to a rule that asks another server.
  if (options.policy.fallback || options.policy.agreement)
    options.servers = profile::LoadSettingsProperties(document).servers;
  return options;
}

}  // namespace qv::main
