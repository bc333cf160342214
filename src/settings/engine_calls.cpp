#include "settings/engine_calls.h"

#include "engine/query_server_time.h"
#include "engine/result_log.h"
#include "engine/sntp.h"
#include "engine/time_text.h"

namespace qv::settings {

namespace {

class Engine final : public EngineCalls {
 public:
  CheckOutcome Check(const CheckRequest& r) override {
    CheckOutcome o;
    if (r.protocol == 1 || r.protocol == 2) {
      int code = 0;
      o.ok = engine::QueryServerTime(r.protocol, r.server, r.time_out, r.beep, o.server_time, o.status, code) != 0;
      o.pc_time = engine::FormatLocalNow();
      o.detail = std::to_string(code);
    } else {
      o.ok = engine::QuerySntpOffset(r.server, r.time_out, r.beep, r.reference_check, r.reference_hours,
                                     &o.server_time, &o.pc_time, nullptr, o.status, o.detail) != 0;
    }
    return o;
  }

  void LogCheck(const CheckRequest& r, const CheckOutcome& o) override {
    // The status column: the status, and on a failure ":" and the detail.
    std::string column = o.status;
    if (!o.ok && !o.detail.empty()) column += ":" + o.detail;
    engine::WriteResultLog(o.pc_time, r.server, r.protocol, 0, column, o.server_time);
  }
};

}  // namespace

EngineCalls& RealEngine() {
  static Engine engine;
  return engine;
}

std::string ResultLogPath(const std::string& profile_path) { return engine::LogFileName(profile_path, "log"); }

}  // namespace qv::settings
