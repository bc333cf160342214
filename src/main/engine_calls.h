// The main program's one way into the time query engine: a check or an
// adjustment of one server and its result log line. Tests put a fake engine
// behind the same interface.
#pragma once

#include <memory>
#include <string>

#include "engine/operations.h"
#include "engine/result.h"

namespace qv::main {

// What one query gave, and whether one of its logs could not be opened (the
// dialog's thread then shows "Can not open the logfile").
struct QueryOutcome {
  engine::Result result;
  bool log_open_failed = false;
};

class EngineCalls {
 public:
  virtual ~EngineCalls() = default;
  // Asks the server and touches no clock; `log`: append the result line.
  virtual QueryOutcome Check(const engine::Request& request, bool log) = 0;
  // Asks the server and sets the clock from its answer.
  virtual QueryOutcome Adjust(const engine::Request& request, bool log) = 0;
};

// The real engine, behind the query runner's countdown dialog, logging beside
// the profile. A query asked for while another one runs fails at once with
// engine::kBusyStatus.
std::unique_ptr<EngineCalls> MakeRealEngine(const std::string& profile_path);

}  // namespace qv::main
