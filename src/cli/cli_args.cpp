#include "cli/cli_args.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace qv::cli {

const char* const kUsage =
    "usage: quorvel-cli check|adjust [--server HOST] [--protocol SNTP|time|daytime]\n"
    "                   [--timeout SECONDS] [--reference-check 0|1] [--reference-hours H]\n"
    "                   [--beep 0|1] [--log 0|1] [--profile PATH] [--debug]\n";

namespace {

bool ParseInt(const std::string& text, int& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseFlag(const std::string& text, int& out) { return ParseInt(text, out) && (out == 0 || out == 1); }

}  // namespace

int ProtocolFromWord(const std::string& word) {
  if (word == "SNTP") return 0;
  if (word == "time") return 1;
  if (word == "daytime") return 2;
  return -1;
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
  } else if (args[0] == "--help" || args[0] == "-h") {
    out.help = true;
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
    // Every other option takes a value: "--opt VALUE" or "--opt=VALUE".
    std::string name = opt, value;
    if (auto eq = opt.find('='); eq != std::string::npos && opt.rfind("--", 0) == 0) {
      name = opt.substr(0, eq);
      value = opt.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = "option " + opt + " needs a value";
      return std::nullopt;
    }
    int n = 0;
    if (name == "--server") {
      if (value.empty()) {
        error = "--server needs a host name or address";
        return std::nullopt;
      }
      out.server = value;
    } else if (name == "--protocol") {
      const int p = ProtocolFromWord(value);
      if (p < 0) {
        error = "--protocol must be SNTP, time or daytime";
        return std::nullopt;
      }
      out.protocol = p;
    } else if (name == "--timeout") {
      if (!ParseInt(value, n) || n < 0 || n > 3600) {
        error = "--timeout must be a number of seconds (0..3600)";
        return std::nullopt;
      }
      out.timeout = n;
    } else if (name == "--reference-check" || name == "--beep" || name == "--log") {
      if (!ParseFlag(value, n)) {
        error = name + " must be 0 or 1";
        return std::nullopt;
      }
      (name == "--beep" ? out.beep : name == "--log" ? out.log : out.reference_check) = n;
    } else if (name == "--reference-hours") {
      if (!ParseInt(value, n) || n < 1 || n > 24) {
        error = "--reference-hours must be 1..24";
        return std::nullopt;
      }
      out.reference_hours = n;
    } else if (name == "--profile") {
      out.profile = value;
    } else {
      error = "unknown option " + name;
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace qv::cli
