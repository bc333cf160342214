#include "main/cycle_options.h"

#include "profile/profile.h"

namespace qv::main {

engine::CyclePolicy PolicyFrom(const profile::ServerOptions& o) {
  engine::CyclePolicy p;
  p.fallback = o.fallback == 1;
  p.agreement = o.agreement == 1;
  p.tolerance_ms = o.agreement_tolerance_ms;
  if (o.offset_guard == 1) p.guard_seconds = o.offset_guard_seconds;
  return p;
}

CycleOptions LoadCycleOptions(const std::string& profile_path) {
  const profile::IniDocument document = profile::ProfileFile(profile_path).Load();
  CycleOptions options;
  options.policy = PolicyFrom(profile::LoadServerOptions(document));
  // The list only matters to a rule that asks another server.
  if (options.policy.fallback || options.policy.agreement)
    options.servers = profile::LoadSettingsProperties(document).servers;
  return options;
}

}  // namespace qv::main
