// The one entry through which every engine operation starts a query.
#pragma once

#include <functional>

#include "engine/query_job.h"

namespace qv::engine {

// Runs one job to its end (done, time-out or cancel) and returns what came
// of it. Each program installs the query runner dialog here at start-up;
// the engine never includes the runner.
using QueryRunnerFn = std::function<Reply(const QueryJob& job)>;
void SetQueryRunner(QueryRunnerFn runner);

// The job's reply through the installed runner ("NoRunner" when there is
// none); a failed one beeps at 256 Hz for 100 ms when `beep` is set.
Reply RunQuery(const QueryJob& job, bool beep);

}  // namespace qv::engine
