// Any argument vector either parses into values within their ranges or is a
// usage error with a message; nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_args.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Arguments are separated by NUL bytes, as the kernel hands them over.
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back().push_back(static_cast<char>(data[i]));
  }
  std::string error;
  const auto parsed = qv::cli::ParseCliArgs(args, error);
  if (!parsed) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (parsed->protocol && (*parsed->protocol < 0 || *parsed->protocol > 2)) std::abort();
  if (parsed->timeout && (*parsed->timeout < 0 || *parsed->timeout > 3600)) std::abort();
  if (parsed->reference_hours && (*parsed->reference_hours < 1 || *parsed->reference_hours > 24)) std::abort();
  for (const auto* flag : {&parsed->beep, &parsed->log, &parsed->reference_check})
    if (*flag && **flag != 0 && **flag != 1) std::abort();
  for (const std::string& server : parsed->servers)
    if (server.empty()) std::abort();
  for (const auto* threshold : {&parsed->warn_ns, &parsed->crit_ns})
    if (*threshold && (**threshold < 0 || **threshold > 1000000000LL * 1000000000LL)) std::abort();
  if (parsed->json && (parsed->warn_ns || parsed->crit_ns)) std::abort();
  return 0;
}
