#include "cli/cli_settings.h"

#include <cstdio>
#include <cstdlib>

#include "platform/process.h"
#include "profile/app_state.h"
#include "profile/options.h"
#include "profile/profile.h"
#include "profile/program_profile.h"
#include "profile/server_options.h"

namespace qv::cli {

CliSettings ResolveSettings(const CliArgs& args) {
  profile::SetProfilePath(args.profile ? *args.profile : profile::ProgramProfilePath(platform::ExecutablePath()));

  // The main program's view of the profile; a missing file reads as
  // defaults, but one that exists and cannot be read is not taken for
  // missing: a run on defaults the user never chose would mislead.
  const profile::ProfileLoad load = profile::LoadProfile(profile::ProfilePath());
  if (load.status == profile::ProfileRead::Status::kUnreadable) {
    std::fprintf(stderr, "quorvel-cli: cannot read the profile %s: %s\n", profile::ProfilePath().c_str(),
                 load.problem.c_str());
    std::exit(2);
  }
  const profile::MainProperties& p = load.main;
  CliSettings s;
  s.server = args.server.value_or(p.server);
  s.protocol = args.protocol.value_or(p.protocol);
  s.timeout = args.timeout.value_or(p.time_out);
  s.reference_check = args.reference_check.value_or(p.reference_check);
  s.reference_hours = args.reference_hours.value_or(p.reference_hours);
  s.beep = args.beep.value_or(p.beep);
  s.log = args.log.value_or(p.log_file);
  const profile::ServerOptions options =
      profile::LoadServerOptions(profile::ProfileFile(profile::ProfilePath()).Load());
  // A trust file named on the command line asks for NTS by itself.
  s.nts = args.nts.value_or(args.nts_trust ? 1 : options.nts);
  s.nts_trust_file = args.nts_trust.value_or(options.nts_trust_file);
  return s;
}

}  // namespace qv::cli
