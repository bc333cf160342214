// The adapter between the main program and the engine's operations.
#include "main/engine_calls.h"

#include "engine/adjust.h"
#include "engine/query_server_time.h"
#include "engine/result_log.h"
#include "engine/sntp.h"
#include "engine/time_text.h"
#include "main/strings.h"
#include "runner/query_runner.h"

namespace qv::main {

namespace {

bool UsesSntp(int protocol) { return protocol != engine::kTime && protocol != engine::kDaytime; }

void Log(const QueryRequest& r, int adjust, QueryOutcome& o) {
  if (!r.log) return;
  o.log_failed = engine::WriteResultLog(o.pc_time, r.server, r.protocol, adjust, StatusColumn(o), o.server_time) == 0;
}

QueryOutcome Busy() {
  QueryOutcome o;
  o.status = text::kBusy;
  o.pc_time = engine::FormatLocalNow();
  return o;
}

class RealEngineCalls final : public EngineCalls {
 public:
  QueryOutcome Check(const QueryRequest& r) override {
    if (runner::WorkerSlotBusy()) return Busy();
    QueryOutcome o;
    if (UsesSntp(r.protocol)) {
      o.ok = engine::QuerySntpOffset(r.server, r.timeout, r.beep, r.reference_check, r.reference_hours,
                                     &o.server_time, &o.pc_time, nullptr, o.status, o.detail) != 0;
    } else {
      int code = 0;
      o.ok = engine::QueryServerTime(r.protocol, r.server, r.timeout, r.beep, o.server_time, o.status, code) != 0;
      o.pc_time = engine::FormatLocalNow();
      o.detail = std::to_string(code);
    }
    Log(r, 0, o);
    return o;
  }

  QueryOutcome Adjust(const QueryRequest& r) override {
    if (runner::WorkerSlotBusy()) return Busy();
    QueryOutcome o;
    if (UsesSntp(r.protocol)) {
      o.ok = engine::AdjustSystemClock(r.server, r.timeout, r.beep, r.reference_check, r.reference_hours,
                                       o.server_time, o.pc_time, o.status, o.detail) != 0;
    } else {
      int code = 0;
      o.ok = engine::AdjustLocalClock(r.protocol, r.server, r.timeout, r.beep, o.server_time, o.pc_time, o.status,
                                      code) != 0;
      o.detail = std::to_string(code);
    }
    Log(r, 1, o);
    return o;
  }
};

}  // namespace

std::string StatusColumn(const QueryOutcome& o) {
  return !o.ok && !o.detail.empty() ? o.status + ":" + o.detail : o.status;
}

EngineCalls& RealEngine() {
  static RealEngineCalls engine;
  return engine;
}

}  // namespace qv::main
