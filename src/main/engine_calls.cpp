// The adapter between the main program and the engine's operations.
#include "main/engine_calls.h"

#include "engine/result_log.h"
#include "engine/time_text.h"
#include "runner/query_runner.h"

namespace qv::main {

namespace {

class RealEngineCalls final : public EngineCalls {
 public:
  explicit RealEngineCalls(std::string log_path) : log_path_(std::move(log_path)) {}

  QueryOutcome Check(const engine::Request& r, bool log) override { return Run(r, log, engine::Check); }
  QueryOutcome Adjust(const engine::Request& r, bool log) override { return Run(r, log, engine::Adjust); }

 private:
  QueryOutcome Run(const engine::Request& r, bool log, engine::Result (*operation)(const engine::Request&)) {
    QueryOutcome o;
    if (runner::WorkerSlotBusy()) {
      // A second query would open a runner without a worker.
      o.result.stage = engine::Stage::kThread;
      o.result.status = engine::kBusyStatus;
      o.result.pc_time = engine::FormatLocalNow();
      return o;
    }
    o.result = operation(r);
    const engine::LogWrite written =
        log ? engine::WriteResultLog(log_path_, r, o.result) : engine::LogWrite::kNotAsked;
    o.log_open_failed =
        written == engine::LogWrite::kOpenFailed || o.result.detail_log == engine::LogWrite::kOpenFailed;
    return o;
  }

  std::string log_path_;
};

}  // namespace

std::unique_ptr<EngineCalls> MakeRealEngine(const std::string& profile_path) {
  return std::make_unique<RealEngineCalls>(engine::ResultLogPath(profile_path));
}

}  // namespace qv::main
