#include "cli/cli_settings.h"

#include "profile/app_state.h"
#include "profile/options.h"
#include "profile/profile.h"
#include "profile/properties.h"

namespace qv::cli {

CliSettings ResolveSettings(const CliArgs& args) {
  profile::SetProfilePath(args.profile ? *args.profile : profile::MakeProfilePath());

  // The main program's view of the profile; a missing file reads as defaults.
  const profile::MainProperties p = profile::LoadMainProperties(profile::ProfileFile(profile::ProfilePath()));
  CliSettings s;
  s.server = args.server.value_or(p.server);
  s.protocol = args.protocol.value_or(p.protocol);
  s.timeout = args.timeout.value_or(p.time_out);
  s.reference_check = args.reference_check.value_or(p.reference_check);
  s.reference_hours = args.reference_hours.value_or(p.reference_hours);
  s.beep = args.beep.value_or(p.beep);
  s.log = args.log.value_or(p.log_file);
  return s;
}

}  // namespace qv::cli
