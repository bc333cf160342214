// The one entry through which every engine operation starts a query.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/micro_time.h"
#include "engine/query_job.h"

namespace qv::engine {

// Runs one job to its end (done, time-out or cancel) and leaves the outcome
// in the job. The query runner dialog installs itself here at start-up; the
// engine never includes the runner.
using QueryRunnerFn = std::function<void(QueryJob&)>;
void SetQueryRunner(QueryRunnerFn runner);

// Returns 1 on success (status "OK"), else 0 with the status wrapped as
// "ERROR (" stage ")" and, when beep is set, a 256 Hz beep of 100 ms.
int RunQuery(int protocol, const std::string& server, int timeout, int beep, std::uint8_t* reply,
             int reply_size, MicroTime* receive_time, std::string& status, int& error_code);

}  // namespace qv::engine
