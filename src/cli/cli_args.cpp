#include "cli/cli_args.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "base/protocol.h"
#include "base/text.h"

namespace qv::cli {

const char* const kUsage =
    "usage: quorvel-cli check|adjust [--server HOST] [--protocol SNTP|time|daytime]\n"
    "                   [--timeout SECONDS] [--reference-check 0|1] [--reference-hours H]\n"
    "                   [--beep 0|1] [--log 0|1] [--profile PATH] [--debug]\n"
    "                   [--nts] [--nts-trust FILE]   (SNTP authenticated by NTS)\n"
    "       quorvel-cli install-service|remove-service      (Windows, as an administrator)\n"
    "       quorvel-cli --version\n";

namespace {
constexpr std::string_view kValueOptions[] = {"--server", "--protocol",        "--timeout", "--reference-check",
                                              "--beep",   "--reference-hours", "--log",     "--profile",
                                              "--nts-trust"};
}  // namespace

std::optional<CliArgs> ParseCliArgs(const std::vector<std::string>& args, std::string& error) {
  CliArgs out;
  if (args.empty()) {
    error = "missing command";
    return std::nullopt;
  }
  if (args[0] == "check") {
    out.command = Command::kCheck;
  } else if (args[0] == "adjust") {
    out.command = Command::kAdjust;
  } else if (args[0] == "install-service" || args[0] == "remove-service" || args[0] == "service") {
    out.command = args[0] == "service"          ? Command::kService
                  : args[0] == "install-service" ? Command::kInstallService
                                                 : Command::kRemoveService;
    if (args.size() > 1) {
      error = args[0] + " takes no options";
      return std::nullopt;
    }
    return out;
  } else if (args[0] == "--help" || args[0] == "-h") {
    out.help = true;
    return out;
  } else if (args[0] == "--version") {
    out.version = true;
    return out;
  } else {
    error = "unknown command '" + args[0] + "'";
    return std::nullopt;
  }

  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& opt = args[i];
    if (opt == "--debug") {
      out.debug = true;
      continue;
    }
    if (opt == "--help" || opt == "-h") {
      out.help = true;
      continue;
    }
    if (opt == "--nts") {
      out.nts = 1;
      continue;
    }
    // Every other option takes a value: "--opt VALUE" or "--opt=VALUE".
    std::string name = opt, value;
    const std::size_t eq = opt.rfind("--", 0) == 0 ? opt.find('=') : std::string::npos;
    if (eq != std::string::npos) name = opt.substr(0, eq);
    // An unknown word is named as such, never taken for a missing value.
    if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) == std::end(kValueOptions)) {
      error = "unknown option " + name;
      return std::nullopt;
    }
    if (eq != std::string::npos) {
      value = opt.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = "option " + opt + " needs a value";
      return std::nullopt;
    }
    if (name == "--server") {
      if (value.empty()) {
        error = "--server needs a host name or address";
        return std::nullopt;
      }
      out.server = value;
    } else if (name == "--protocol") {
      out.protocol = ProtocolFromWord(value);
      if (!out.protocol) {
        error = "--protocol must be SNTP, time or daytime";
        return std::nullopt;
      }
    } else if (name == "--timeout") {
      out.timeout = ParseIntIn(value, 0, 3600);
      if (!out.timeout) {
        error = "--timeout must be a number of seconds (0..3600)";
        return std::nullopt;
      }
    } else if (name == "--reference-check" || name == "--beep" || name == "--log") {
      auto& flag = name == "--beep" ? out.beep : name == "--log" ? out.log : out.reference_check;
      flag = ParseIntIn(value, 0, 1);
      if (!flag) {
        error = name + " must be 0 or 1";
        return std::nullopt;
      }
    } else if (name == "--reference-hours") {
      out.reference_hours = ParseIntIn(value, 1, 24);
      if (!out.reference_hours) {
        error = "--reference-hours must be 1..24";
        return std::nullopt;
      }
    } else if (name == "--nts-trust") {
      if (value.empty()) {
        error = "--nts-trust needs a certificate file";
        return std::nullopt;
      }
      out.nts_trust = value;
    } else {
      out.profile = value;  // --profile
    }
  }
  return out;
}

}  // namespace qv::cli
