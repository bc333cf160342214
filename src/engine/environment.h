// What the engine takes from the program that runs it: where the logs lie,
// whether the SNTP detail log is on, the "host not found" text of the
// program's string table, and how a message for the user is shown. Each
// program sets it at start-up; the engine never reads program state itself.
#pragma once

#include <functional>
#include <string>

namespace qv::engine {

struct Environment {
  std::string profile_path;  // the logs are named after it
  bool sntp_detail_log = false;  // the debug switch
  std::string host_not_found = "HostNotFound";
  // Shows a message to the user ("Can not open the logfile"); none: silent.
  std::function<void(const std::string&)> report;
};

void SetEnvironment(Environment env);
// A copy, safe to take on any thread.
Environment CurrentEnvironment();

}  // namespace qv::engine
