#include "engine/run_query.h"

#include <utility>

#include "platform/process.h"

namespace qv::engine {

namespace {
QueryRunnerFn& Runner() {
  static QueryRunnerFn runner;
  return runner;
}
}  // namespace

void SetQueryRunner(QueryRunnerFn runner) { Runner() = std::move(runner); }

Reply RunQuery(const QueryJob& job, bool beep) {
  Reply reply;
  if (Runner()) {
    reply = Runner()(job);
  } else {
    // A program that installed no runner fails visibly rather than block
    // its thread without a countdown.
    reply.stage = Stage::kNoRunner;
  }
  if (!reply.ok() && beep) platform::Beep(256, 100);
  return reply;
}

}  // namespace qv::engine
