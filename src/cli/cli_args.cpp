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
    "                   [--beep 0|1] [--log 0|1] [--profile PATH] [--debug] [--json]\n"
    "                   [--nts] [--nts-trust FILE]   (SNTP authenticated by NTS)\n"
    "                   [--fallback 0|1] [--agreement 0|1] [--max-offset SECONDS]\n"
    "       quorvel-cli check --server HOST [--server HOST ...] [--json | --warn S --crit S] ...\n"
    "       quorvel-cli install-service|remove-service      (Windows, as an administrator)\n"
    "       quorvel-cli --version\n";

namespace {
constexpr std::string_view kValueOptions[] = {"--server", "--protocol",        "--timeout", "--reference-check",
                                              "--beep",   "--reference-hours", "--log",     "--profile",
                                              "--warn",   "--crit",            "--nts-trust", "--fallback",
                                              "--agreement", "--max-offset"};
constexpr std::int64_t kNanosPerSecond = 1000000000;
}  // namespace

std::optional<std::int64_t> ParseSeconds(std::string_view text) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (dot != std::string_view::npos && (fraction.empty() || fraction.size() > 9)) return std::nullopt;
  // Digits only: ParseInt alone would take a sign.
  for (std::string_view part : {whole, fraction})
    if (part.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const std::optional<std::int64_t> seconds = ParseIntIn<std::int64_t>(whole, 0, 1000000000);
  std::optional<std::int64_t> nanos = fraction.empty() ? 0 : ParseInt<std::int64_t>(fraction);
  if (!seconds || !nanos) return std::nullopt;
  for (std::size_t digits = fraction.size(); digits < 9; ++digits) *nanos *= 10;
  return *seconds * kNanosPerSecond + *nanos;
}

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
    if (opt == "--json") {
      out.json = true;
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
      out.servers.push_back(value);
    } else if (name == "--warn" || name == "--crit") {
      auto& threshold = name == "--warn" ? out.warn_ns : out.crit_ns;
      threshold = ParseSeconds(value);
      if (!threshold) {
        error = name + " must be seconds (0..1000000000, at most nine decimals)";
        return std::nullopt;
      }
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
    } else if (name == "--reference-check" || name == "--beep" || name == "--log" || name == "--fallback" ||
               name == "--agreement") {
      auto& flag = name == "--beep"       ? out.beep
                   : name == "--log"      ? out.log
                   : name == "--fallback" ? out.fallback
                   : name == "--agreement" ? out.agreement
                                          : out.reference_check;
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
    } else if (name == "--max-offset") {
      out.max_offset = ParseIntIn(value, 0, 999999999);
      if (!out.max_offset) {
        error = "--max-offset must be a number of seconds (0..999999999)";
        return std::nullopt;
      }
    } else {
      out.profile = value;  // --profile
    }
  }
  const bool monitoring = out.warn_ns || out.crit_ns;
  if (monitoring && out.json) {
    error = "--json and --warn/--crit are two different outputs: give one";
    return std::nullopt;
  }
  // Setting the clock once per server, or judging an offset just set,
  // would make no sense.
  if (out.command == Command::kAdjust && (out.servers.size() > 1 || monitoring)) {
    error = "adjust takes one server and no --warn/--crit";
    return std::nullopt;
  }
  return out;
}

}  // namespace qv::cli
