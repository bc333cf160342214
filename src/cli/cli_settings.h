// What one quorvel-cli run uses: the profile's values as the main program
// reads them, overridden by the command line.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "engine/server_cycle.h"

namespace qv::cli {

struct CliSettings {
  std::vector<std::string> servers;  // asked: --server's, else the default; at least one, empty when none is set
  int protocol = 1;
  int timeout = 3;
  int reference_check = 1;
  int reference_hours = 24;
  int beep = 0;
  int log = 0;
  int nts = 0;
  std::string nts_trust_file;
  // Section "Options" and the list of "Servers", as the programs use them.
  engine::CyclePolicy policy;
  std::vector<std::string> server_list;
};

// Sets the process's profile path (--profile, else the one beside the
// executable) and reads the defaults from it; a profile that exists but
// cannot be read ends the process with `unreadable_exit`.
CliSettings ResolveSettings(const CliArgs& args, int unreadable_exit);

}  // namespace qv::cli
