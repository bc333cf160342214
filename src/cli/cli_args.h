// The command line of quorvel-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
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
  std::vector<std::string> servers;  // --server, each time it is given; checked in this order
  std::optional<int> protocol;  // 0 SNTP, 1 time, 2 daytime
  std::optional<int> timeout;
  std::optional<int> reference_check;
  std::optional<int> reference_hours;
  std::optional<int> beep;
  std::optional<int> log;
  std::optional<std::string> profile;
  std::optional<int> nts;               // --nts: 1
  std::optional<std::string> nts_trust;  // --nts-trust FILE
  std::optional<int> fallback;    // 0 or 1, as "Fallback" of "Options"
  std::optional<int> agreement;   // 0 or 1, as "Agreement"
  std::optional<int> max_offset;  // seconds; 0: no guard (else "OffsetGuard" on with this limit)
  bool debug = false;
  bool help = false;
  bool version = false;
  bool json = false;  // one JSON object per result, one per line
  // Monitoring thresholds on the offset's size, in nanoseconds (given as
  // decimal seconds); either one switches to the one-line plugin output.
  std::optional<std::int64_t> warn_ns;
  std::optional<std::int64_t> crit_ns;
};

// Decimal seconds ("60", "0.5", at most nine decimals, no sign, at most
// 10^9 s) as nanoseconds; nothing for any other text.
std::optional<std::int64_t> ParseSeconds(std::string_view text);

// Parses argv[1..]; on a usage error returns nullopt and sets error.
std::optional<CliArgs> ParseCliArgs(const std::vector<std::string>& args, std::string& error);

extern const char* const kUsage;

}  // namespace qv::cli
