#include "engine/adjust.h"

#include <cmath>
#include <cstdint>

#include "engine/query_server_time.h"
#include "engine/sntp.h"
#include "engine/time_text.h"
#include "platform/ctime.h"

namespace qv::engine {

namespace {
constexpr const char* kSetFailed = "ERROR (localtime-set)";
}  // namespace

bool MicroTimeToSystemTime(MicroTime t, platform::SystemTime& out) {
  if (!platform::BreakDownUtc(static_cast<std::int64_t>(t.seconds), out)) return false;
  out.milliseconds = static_cast<std::uint16_t>(t.micros / 1000);
  return true;
}

int AdjustSystemClock(const std::string& server, int timeout, int beep, int reference_check, int reference_hours,
                      std::string& new_time, std::string& pc_time, std::string& status, std::string& detail) {
  double offset = 0.0;
  if (!QuerySntpOffset(server, timeout, beep, reference_check, reference_hours, nullptr, &pc_time, &offset, status,
                       detail))
    return 0;

  // The offset applies to a clock reading taken after the runner closed.
  const MicroTime now = NowMicroTime();
  const double x = static_cast<double>(now.seconds) + static_cast<double>(now.micros) * 1e-6 + offset;
  // A time before 1970 or beyond what 32-bit seconds hold has no break-down
  // here; the clock must then stay as it is.
  if (!(x >= 0.0) || x >= 4294967296.0) {
    status = kSetFailed;
    return 0;
  }
  MicroTime set;
  set.seconds = static_cast<std::uint32_t>(x);
  set.micros = static_cast<std::uint32_t>((x - static_cast<double>(set.seconds)) * 1000000.0);

  platform::SystemTime st;
  if (!MicroTimeToSystemTime(set, st) || !platform::SystemClock().SetUtc(st)) {
    status = kSetFailed;
    return 0;
  }
  new_time = FormatServerTime(set);
  status = "OK";
  return 1;
}

int AdjustLocalClock(int protocol, const std::string& server, int timeout, int beep, std::string& server_time,
                     std::string& pc_time, std::string& status, int& error_code) {
  server_time.clear();
  pc_time.clear();
  const int ok = QueryServerTime(protocol, server, timeout, beep, server_time, status, error_code);
  pc_time = FormatLocalNow();  // the PC's time after the query, before any change
  if (!ok) return 0;

  // An impossible break-down (month 0 from a text of another shape) is
  // refused by the clock service without touching the clock.
  const platform::SystemTime st = ParseTimeText(server_time);
  if (!platform::SystemClock().SetLocal(st)) {
    status = kSetFailed;
    return 0;
  }
  status = "OK";
  return 1;
}

}  // namespace qv::engine
