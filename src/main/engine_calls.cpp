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

  QueryOutcome Check(const engine::CycleRequest& c, bool log) override {
    return Run(log, [&] { return engine::CheckCycle(c); });
  }
  QueryOutcome Adjust(const engine::CycleRequest& c, const engine::ConfirmStep& confirm, bool log) override {
    return Run(log, [&] { return engine::AdjustCycle(c, confirm); });
  }

 private:
  template <class Cycle>
  QueryOutcome Run(bool log, Cycle cycle) {
    QueryOutcome o;
    if (runner::WorkerSlotBusy()) {
      // A second query would open a runner without a worker.
      o.result.stage = engine::Stage::kThread;
      o.result.status = engine::kBusyStatus;
      o.result.pc_time = engine::FormatLocalNow();
      return o;
    }
    engine::CycleOutcome done = cycle();
    done.others.push_back(std::move(done.shown));
    for (const engine::ServerAttempt& a : done.others) {
      const engine::LogWrite written =
          log ? engine::WriteResultLog(log_path_, a.request, a.result) : engine::LogWrite::kNotAsked;
      o.log_open_failed = o.log_open_failed || written == engine::LogWrite::kOpenFailed ||
                          a.result.detail_log == engine::LogWrite::kOpenFailed;
    }
    o.result = std::move(done.others.back().result);
    o.retry_worthy = done.retry_worthy;
    return o;
  }

  std::string log_path_;
};

}  // namespace

std::unique_ptr<EngineCalls> MakeRealEngine(const std::string& profile_path) {
  return std::make_unique<RealEngineCalls>(engine::ResultLogPath(profile_path));
}

}  // namespace qv::main
