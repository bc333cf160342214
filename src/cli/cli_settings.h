// What one quorvel-cli run uses: the profile's values as the main program
// reads them, overridden by the command line.
#pragma once

#include <string>

#include "cli/cli_args.h"

namespace qv::cli {

struct CliSettings {
  std::string server;
  int protocol = 1;
  int timeout = 3;
  int reference_check = 1;
  int reference_hours = 24;
  int beep = 0;
  int log = 0;
  int nts = 0;
  std::string nts_trust_file;
};

// Sets the process's profile path (--profile, else the one beside the
// executable) and reads the defaults from it.
CliSettings ResolveSettings(const CliArgs& args);

}  // namespace qv::cli
