// The engine's operations as the programs call them: one check or one
// adjustment of one server, each returning one Result. Every query runs
// behind the query runner the program installed (run_query.h), so call
// these on the dialog's thread; they return when the query has ended.
//
//   const engine::Request request = engine::MakeRequest(protocol, server, ...,
//       debug ? DetailLogPath(profile) : "", host_not_found_text);
//   const engine::Result r = engine::Check(request);
//   show ServerTimeLine(r) and r.pc_time;
//   if (log_on) WriteResultLog(ResultLogPath(profile), request, r);
//   report kLogOpenFailedText when a LogWrite says kOpenFailed.
#pragma once

#include <string>

#include "base/protocol.h"
#include "engine/result.h"

namespace qv::engine {

struct Request {
  int protocol = kTime;  // kSntp, kTime, kDaytime
  std::string server;    // host name or dotted IPv4 address
  int timeout = 3;       // seconds: the wait for the answer and the runner's countdown
  bool beep = false;     // 256 Hz for 100 ms when the query fails
  bool reference_check = true;  // SNTP: judge the reference timestamp...
  int reference_hours = 24;     // ...against this age
  // From the program rather than its settings:
  std::string sntp_detail_log;  // SNTP detail log file; empty: none (the debug switch is off)
  std::string host_not_found = "HostNotFound";  // the program's text for that stage
  // An adjustment the clock refuses for want of the right goes to the
  // system's time service where it has one (off in the service itself).
  bool may_ask_time_service = true;
  bool nts = false;            // SNTP: authenticate the time by NTS
  std::string nts_trust_file;  // NTS: PEM certificates to trust; empty: the system's
};

// The request from a program's settings, numbered as the profile stores
// them; every program builds its requests here. A protocol other than TIME
// or DAYTIME asks by SNTP (the settings dialog with no protocol chosen); the
// failure beep sounds only for 1, as a stored switch counts as on only when
// it is exactly 1; the reference check is on for anything but 0.
Request MakeRequest(int protocol, std::string server, int timeout, int beep, int reference_check,
                    int reference_hours, std::string sntp_detail_log, std::string host_not_found);

// A check: SNTP through QuerySntpOffset, TIME and DAYTIME through
// QueryServerTime. Never touches the clock.
Result Check(const Request& request);
// An adjustment: SNTP through AdjustSystemClock, TIME and DAYTIME through
// AdjustLocalClock. When the clock refuses this process the right, the
// system's time service (platform/time_service.h) is asked to adjust from
// the same server, behind the query runner; its Result is the one returned,
// set_by kTimeServiceName when it set the clock; not with NTS, as the
// service's own query is not authenticated.
Result Adjust(const Request& request);

inline constexpr const char* kTimeServiceName = "the time service";
// The status of a query refused while another runs (a program's own, or
// the time service's).
inline constexpr const char* kBusyStatus = "ERROR (Busy)";
// How much longer than its own query the service is waited for.
inline constexpr int kTimeServiceGraceSeconds = 5;

// The SNTP check: a believable reply's offset, its transmit time as the
// server time, the PC's time after the query.
Result QuerySntpOffset(const Request& request);
// The server's time as a text by TIME or DAYTIME: TIME seconds, the first
// line of a DAYTIME answer (its CR kept); the PC's time after it.
Result QueryServerTime(const Request& request);
// Sets the system clock in UTC to a fresh reading plus the SNTP offset.
Result AdjustSystemClock(const Request& request);
// Sets the local clock to the time the TIME or DAYTIME text shows.
Result AdjustLocalClock(const Request& request);

// An adjustment in two steps, so that rules (several servers, a limit on the
// step, a question to the user) can judge the offset before the clock is
// touched. Measure is a check that also yields offset_ns: SNTP's measured
// offset; for TIME and DAYTIME the server's text less the OS-zone clock read
// at once after the query, both as local times in whole nanoseconds (the
// text has whole seconds). A text that reads as no time fails as the
// adjustment would (kClockSet, kImpossibleTime).
Result Measure(const Request& request);
// Sets the clock to a reading taken now plus measured.offset_ns: SNTP in
// UTC, TIME and DAYTIME in the OS zone. Applied at once this sets what
// Adjust would; after a pause (the user asked) it still sets the server's
// time, not a stale one. Refused the right, it asks the time service as
// Adjust does (which then sets from its own query of the same server).
Result ApplyMeasured(const Request& request, Result measured);

}  // namespace qv::engine
