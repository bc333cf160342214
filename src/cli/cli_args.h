// The command line of quorvel-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv::cli {

enum class Command {
  kCheck,
  kAdjust,
  // Windows: the time service (platform/time_service.h); no options.
  kInstallService,
  kRemoveService,
  kService,  // what the service manager runs
};

// Options given on the command line; an unset option takes its value from
// the profile.
struct CliArgs {
  Command command = Command::kCheck;
  std::optional<std::string> server;
  std::optional<int> protocol;  // 0 SNTP, 1 time, 2 daytime
  std::optional<int> timeout;
  std::optional<int> reference_check;
  std::optional<int> reference_hours;
  std::optional<int> beep;
  std::optional<int> log;
  std::optional<std::string> profile;
  std::optional<int> nts;               // --nts: 1
  std::optional<std::string> nts_trust;  // --nts-trust FILE
  bool debug = false;
  bool help = false;
  bool version = false;
};

// Parses argv[1..]; on a usage error returns nullopt and sets error.
std::optional<CliArgs> ParseCliArgs(const std::vector<std::string>& args, std::string& error);

extern const char* const kUsage;

}  // namespace qv::cli
