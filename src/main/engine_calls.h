// The main program's one way into the time query engine: a check or an
// adjustment of one server, its result log line, and the outcome as one
// value. Tests put a fake engine behind the same interface.
#pragma once

#include <string>

namespace qv::main {

struct QueryRequest {
  int protocol = 1;  // 0 SNTP, 1 TIME, 2 DAYTIME
  std::string server;
  int timeout = 3;  // seconds
  bool beep = false;
  int reference_check = 1;
  int reference_hours = 24;
  bool log = false;  // append a line to the result log afterwards
};

struct QueryOutcome {
  bool ok = false;
  std::string status;       // "OK", or a text that begins "ERROR ("
  std::string detail;       // the error code or a further detail; may be empty
  std::string server_time;  // the server's time (check), the new time (adjust)
  std::string pc_time;      // the PC's time at the query
  bool log_failed = false;  // the result log could not be written
};

class EngineCalls {
 public:
  virtual ~EngineCalls() = default;
  // Asks the server and touches no clock.
  virtual QueryOutcome Check(const QueryRequest& request) = 0;
  // Asks the server and sets the clock from its answer.
  virtual QueryOutcome Adjust(const QueryRequest& request) = 0;
};

// The real engine, behind the query runner's countdown dialog. A query asked
// for while another one runs fails at once with text::kBusy.
EngineCalls& RealEngine();

// The result log's status column: the status, and after a failure with a
// detail, ":" and the detail.
std::string StatusColumn(const QueryOutcome& outcome);

}  // namespace qv::main
