// The main program's one way into the time query engine: a check or an
// adjustment of one server and its result log line. Tests put a fake engine
// behind the same interface.
#pragma once

#include <memory>
#include <string>

#include "engine/operations.h"
#include "engine/result.h"
#include "engine/server_cycle.h"

namespace qv::main {

// What one query gave, and whether one of its logs could not be opened (the
// dialog's thread then shows "Can not open the logfile").
struct QueryOutcome {
  engine::Result result;
  bool log_open_failed = false;
  // False when a rule refused the step rather than a server failing: the
  // retry series does not start for it.
  bool retry_worthy = true;
};

class EngineCalls {
 public:
  virtual ~EngineCalls() = default;
  // Asks the cycle's servers and touches no clock; `log`: append a result
  // line for each server asked, the one whose answer shows last.
  virtual QueryOutcome Check(const engine::CycleRequest& cycle, bool log) = 0;
  // Asks them and sets the clock from the answer the cycle's rules accept;
  // `confirm` is asked before a step beyond the guard (empty: refused).
  virtual QueryOutcome Adjust(const engine::CycleRequest& cycle, const engine::ConfirmStep& confirm, bool log) = 0;
};

// The real engine, behind the query runner's countdown dialog, logging beside
// the profile. A query asked for while another one runs fails at once with
// engine::kBusyStatus.
std::unique_ptr<EngineCalls> MakeRealEngine(const std::string& profile_path);

}  // namespace qv::main
